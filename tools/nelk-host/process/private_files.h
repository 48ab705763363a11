// Files nelk-host writes for its user where another local user must not reach them: a folder
// the user owns and no one else may write in, and files in it opened without following a
// symbolic link. POSIX (elsewhere they do what plain file calls do); any thread; nothing kept.
#pragma once

#include <string>

namespace nelk_host_tool {

// `path` as a folder of the user's own: made (mode 0700, its parents as usual) when missing; a
// folder another user owns, or that others may write in, or a file that is no folder, is refused
// with `problem` ("... others may write in it").
bool ownFolder(const std::string& path, std::string& problem);

// Writes `text` to `path` (made with mode 0644, or replaced), refusing a symbolic link there;
// false with `problem`.
bool writeOwnFile(const std::string& path, const std::string& text, std::string& problem);

}  // namespace nelk_host_tool
