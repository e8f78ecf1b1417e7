// A slow disk for the runner, loaded with LD_PRELOAD: every write to a regular file first sleeps
// as long as SLOW_WRITE_MIBS MiB/s would take. The network side keeps its pace, so whatever the
// HTTP client reads ahead of the file shows in the runner's peak memory.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

extern "C" ssize_t write(int fd, const void* buf, size_t n)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    static Write real = nullptr;
    static double rate;
    if (real == nullptr) {
        real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
        const char* value = std::getenv("SLOW_WRITE_MIBS");
        rate = value != nullptr ? std::atof(value) : 0;
    }
    struct stat st;
    if (rate > 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const double seconds = n / (rate * 1048576.0);
        const auto whole = static_cast<time_t>(seconds);
        const timespec pause = {whole, static_cast<long>((seconds - whole) * 1e9)};
        nanosleep(&pause, nullptr);
    }
    return real(fd, buf, n);
}
