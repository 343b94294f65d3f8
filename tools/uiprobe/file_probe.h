#pragma once
// uiprobe's file commands: what Windows itself reads from a program's files, for the tests of
// the packages a player installs.

#include <string>
#include <vector>

namespace uiprobe {

// version <file>: the fixed and the string version information, as Explorer shows them.
int showVersion(const std::vector<std::wstring>& args);
// resources <file>: the embedded manifest's text and the number of icon groups.
int showResources(const std::vector<std::wstring>& args);
// shortcut <file.lnk>: the target, arguments and working folder of a shell link.
int showShortcut(const std::vector<std::wstring>& args);

} // namespace uiprobe
