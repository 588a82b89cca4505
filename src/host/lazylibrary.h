// A library loaded when it is first needed, not with the program: a start pays the symbol lookups
// of every library linked, needed or not.
#pragma once

#include <QLibrary>

namespace ostrel::host {

// Sets function to the library's function of that name (loading the library if it is not yet);
// false when there is none.
template <class Function>
bool Resolve(QLibrary& library, Function*& function, const char* name)
{
    function = reinterpret_cast<Function*>(library.resolve(name));
    return function != nullptr;
}

} // namespace ostrel::host
