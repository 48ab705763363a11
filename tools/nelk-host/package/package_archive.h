// The zip file a component package is, written and unpacked with Debian's libzip. Unpacking
// takes only plain files whose names stay inside the folder, within bounds on their number and
// size, so that a package from elsewhere cannot write anywhere else. Any thread; one archive per call.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace nelk_package {

// Bounds on what a package may hold.
inline constexpr int maxEntries = 256;
inline constexpr unsigned long long maxUnpackedBytes = 512ULL << 20;

struct archive_entry {
    std::string name;    // inside the archive, '/'-separated
    std::string source;  // the file on disk to store, or "" to store `text`
    std::string text;
};

// Writes a new zip at `path` holding `entries`, deflated, in their order; an existing file there
// is replaced only once the new one is whole. False with `problem` set on any failure, leaving
// no file behind.
bool writeArchive(const std::string& path, const std::vector<archive_entry>& entries, std::string& problem);

// Unpacks the zip at `path` into `folder`, which must exist and be empty; `names` gets every
// entry's name. Refuses (false, `problem` set) an archive that cannot be read, an entry that is a
// folder's escape ("..", absolute, a drive, a backslash), a link or not a plain file, a name twice,
// and more entries or bytes than the bounds above.
bool unpackArchive(const std::string& path, const std::string& folder, std::vector<std::string>& names, std::string& problem);

}  // namespace nelk_package
