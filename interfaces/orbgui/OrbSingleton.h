#pragma once

namespace ORBGUI {

// A process-wide instance of T, made on first use. It is never destroyed: kit objects
// may own widgets, which must not outlive the application object.
template <typename T>
class OrbSingleton
{
public:
    static T& Instance()
    {
        static T* s_pInstance = new T();
        return *s_pInstance;
    }
};

}  // namespace ORBGUI
