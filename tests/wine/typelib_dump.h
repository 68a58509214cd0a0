// A type library as text, one line per item, for comparing the registered library with the
// checked-in contract (expected/typelib.txt), and a line diff for the failure message.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>
#include <vector>

namespace kelmo::test {

// The library line (name, version, LCID, help string, LIBID), then each type: its kind, name,
// GUID and flags, and for interfaces one line per member in interface order:
//   <dispid> <get|put|putref|method> <name>(<parameters>)[: <result type>]
// with each parameter as "name: Type", flagged "optional", "= default", "out", "..." (vararg).
std::wstring dumpTypeLibrary(ITypeLib* library);

// The members of the dispatch interfaces of a library: name and dispatch identifier.
std::vector<std::pair<std::wstring, DISPID>> dispatchMembers(ITypeLib* library);

// The lines that differ between two texts, as "-expected" and "+actual" lines with their line
// numbers; empty when the texts are the same.
std::wstring lineDiff(const std::wstring& expected, const std::wstring& actual);

} // namespace kelmo::test
