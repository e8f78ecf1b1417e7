#pragma once

#include <QString>
#include <QTest>

#include <type_traits>

// The columns of a data-driven test, and its rows, each in one call. A row's text literals become
// QString; every other value must be of its column's type exactly, as QTest checks.
namespace datarows {

template <typename T>
using Name = const char*;

template <typename... T>
void columns(Name<T>... pNames)
{
    (QTest::addColumn<T>(pNames), ...);
}

template <typename T>
auto cell(const T& value)
{
    if constexpr (std::is_same_v<std::decay_t<T>, const char*> || std::is_same_v<std::decay_t<T>, char*>) {
        return QString::fromUtf8(value);
    } else {
        return value;
    }
}

template <typename... T>
void row(const char* pTag, const T&... values)
{
    (QTest::newRow(pTag) << ... << cell(values));
}

// The columns of a table of event scripts (see EventScript.h): the events, then the rows and the
// engine calls they leave.
inline void eventColumns()
{
    columns<QString, QString, QString>("strEvents", "strRows", "strCalls");
}

}  // namespace datarows
