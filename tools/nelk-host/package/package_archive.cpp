#include "package_archive.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include <zip.h>

namespace nelk_package {

namespace {

std::string zipError(zip_t* archive) {
    const char* text = archive != nullptr ? zip_strerror(archive) : nullptr;
    return text != nullptr ? text : "unknown error";
}

// A name that stays inside the folder it is unpacked into, on Linux and on Windows alike.
bool safeName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name.front() == '/' || name.back() == '/') return false;
    if (name.find('\\') != std::string::npos || name.find(':') != std::string::npos || name.find('\0') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string piece = name.substr(start, end - start);
        if (piece.empty() || piece == "." || piece == "..") return false;
        start = end + 1;
    }
    return true;
}

struct archive_closer {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

// Writes entry `index` of `archive`, which says it holds `size` bytes, to `target`; false when it
// cannot be read or written or holds another size.
bool unpackEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size, const std::filesystem::path& target) {
    std::error_code ignored;
    std::filesystem::create_directories(target.parent_path(), ignored);
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    bool written = file != nullptr && static_cast<bool>(out);
    char buffer[65536];
    zip_uint64_t copied = 0;
    for (zip_int64_t got; written && (got = zip_fread(file, buffer, sizeof buffer)) != 0;) {
        copied += static_cast<zip_uint64_t>(got);
        written = got > 0 && copied <= size && static_cast<bool>(out.write(buffer, got));
    }
    if (file != nullptr) zip_fclose(file);
    out.close();
    return written && out && copied == size;
}

}  // namespace

bool writeArchive(const std::string& path, const std::vector<archive_entry>& entries, std::string& problem) {
    const std::string partial = path + ".partial";
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    int error = 0;
    zip_t* archive = zip_open(partial.c_str(), ZIP_CREATE | ZIP_EXCL, &error);
    if (archive == nullptr) {
        zip_error_t reason;
        zip_error_init_with_code(&reason, error);
        problem = "cannot make " + partial + ": " + zip_error_strerror(&reason);
        zip_error_fini(&reason);
        return false;
    }
    // The texts stay alive until zip_close, which reads every source.
    std::vector<std::unique_ptr<std::string>> texts;
    for (const archive_entry& entry : entries) {
        zip_source_t* source = nullptr;
        if (entry.source.empty()) {
            texts.push_back(std::make_unique<std::string>(entry.text));
            source = zip_source_buffer(archive, texts.back()->data(), texts.back()->size(), 0);
        } else {
            source = zip_source_file(archive, entry.source.c_str(), 0, -1);
        }
        if (source == nullptr || zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            problem = "cannot add " + entry.name + ": " + zipError(archive);
            if (source != nullptr) zip_source_free(source);
            zip_discard(archive);
            std::filesystem::remove(partial, ignored);
            return false;
        }
    }
    if (zip_close(archive) != 0) {
        problem = "cannot write " + partial + ": " + zipError(archive);
        zip_discard(archive);
        std::filesystem::remove(partial, ignored);
        return false;
    }
    std::filesystem::rename(partial, path, ignored);
    if (ignored) {
        problem = "cannot put the package at " + path + ": " + ignored.message();
        std::filesystem::remove(partial, ignored);
        return false;
    }
    return true;
}

bool unpackArchive(const std::string& path, const std::string& folder, std::vector<std::string>& names, std::string& problem) {
    int error = 0;
    std::unique_ptr<zip_t, archive_closer> archive(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive) {
        zip_error_t reason;
        zip_error_init_with_code(&reason, error);
        problem = path + " is not a readable zip file: " + zip_error_strerror(&reason);
        zip_error_fini(&reason);
        return false;
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0 || count > maxEntries) {
        problem = path + " holds more than " + std::to_string(maxEntries) + " entries";
        return false;
    }
    unsigned long long total = 0;
    std::set<std::string> seen;
    for (zip_int64_t index = 0; index < count; ++index) {
        zip_stat_t stat;
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(index), 0, &stat) != 0 || stat.name == nullptr ||
            zip_file_get_external_attributes(archive.get(), static_cast<zip_uint64_t>(index), 0, &system, &attributes) != 0) {
            problem = "cannot read entry " + std::to_string(index) + " of " + path + ": " + zipError(archive.get());
            return false;
        }
        const std::string name = stat.name;
        const unsigned type = (attributes >> 16) & 0170000u;
        if (!safeName(name) || (system == ZIP_OPSYS_UNIX && type != 0 && type != 0100000u)) {
            problem = path + " holds \"" + name + "\", which is not a plain file inside the package";
            return false;
        }
        if (!seen.insert(name).second) {
            problem = path + " holds \"" + name + "\" twice";
            return false;
        }
        total += stat.size;
        if (total > maxUnpackedBytes) {
            problem = path + " unpacks to more than " + std::to_string(maxUnpackedBytes >> 20) + " MB";
            return false;
        }
        if (!unpackEntry(archive.get(), static_cast<zip_uint64_t>(index), stat.size, std::filesystem::path(folder) / name)) {
            problem = "cannot unpack " + name + " from " + path;
            return false;
        }
        names.push_back(name);
    }
    return true;
}

}  // namespace nelk_package
