#include "ship/deployment.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "package/kit_parts.h"
#include "package/package_archive.h"
#include "package/package_manifest.h"
#include "validator/image_checks.h"

namespace nelk_package {

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

std::string readAll(const fs::path& path) {
    std::ifstream input(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
}

// What earlier deploys of a component did to the folder: the files they added, and those they
// replaced with where the original is kept. Lives in DIR/.nelk-deploy/NAME/.
struct deploy_record {
    fs::path folder;
    std::vector<std::string> created;
    std::vector<std::pair<std::string, std::string>> replaced;  // the file, its backup's name

    bool knows(const std::string& path) const {
        return std::find(created.begin(), created.end(), path) != created.end() ||
               std::any_of(replaced.begin(), replaced.end(), [&](const auto& each) { return each.first == path; });
    }
    bool load(std::string& problem) {
        if (!fs::exists(folder / "record.json")) return true;
        const json document = json::parse(readAll(folder / "record.json"), nullptr, false);
        if (document.is_discarded() || !document.is_object()) {
            problem = (folder / "record.json").string() + " cannot be read: the earlier deploy's backup is there, by hand";
            return false;
        }
        for (const json& each : document.value("created", json::array())) created.push_back(each.get<std::string>());
        for (const json& each : document.value("replaced", json::array()))
            replaced.emplace_back(each.value("path", ""), each.value("backup", ""));
        return true;
    }
    bool save(std::string& problem) const {
        json replacedList = json::array();
        for (const auto& each : replaced) replacedList.push_back({{"path", each.first}, {"backup", each.second}});
        const std::string text = json{{"created", created}, {"replaced", replacedList}}.dump(2) + "\n";
        std::ofstream out(folder / "record.json.partial", std::ios::binary);
        out << text;
        out.close();
        std::error_code error;
        if (out) fs::rename(folder / "record.json.partial", folder / "record.json", error);
        if (!out || error) {
            problem = "cannot write " + (folder / "record.json").string();
            return false;
        }
        return true;
    }
};

// Copies `from` to `to` through a file beside it, so that a reader never sees half of it and a
// link at `to` is replaced rather than followed.
bool place(const fs::path& from, const fs::path& to, std::string& problem) {
    std::error_code error;
    const fs::path partial = to.string() + ".nelk-partial";
    fs::remove(partial, error);
    fs::copy_file(from, partial, error);
    if (!error) fs::rename(partial, to, error);
    if (error) {
        problem = "cannot write " + to.string() + ": " + error.message();
        fs::remove(partial, error);
        return false;
    }
    return true;
}

bool sameFile(const fs::path& a, const fs::path& b) {
    std::uint64_t sizeA = 0;
    std::uint64_t sizeB = 0;
    std::string digestA;
    std::string digestB;
    std::string ignored;
    return digestFile(a.string(), sizeA, digestA, ignored) && digestFile(b.string(), sizeB, digestB, ignored) && digestA == digestB;
}

// The package unpacked and checked: its manifest, or false with `problem` set.
bool openPackage(const std::string& package, const fs::path& folder, manifest& contents, std::string& problem) {
    std::vector<std::string> names;
    std::error_code error;
    fs::create_directories(folder, error);
    if (!unpackArchive(package, folder.string(), names, problem)) return false;
    if (!readManifest(readAll(folder / manifestName), contents, problem)) return false;
    // The files as the manifest gives them, before any is put into a host's folder.
    nelk_validator::check_settings settings{(folder / contents.library).string(), 1, 1, "", true, folder.string(), folder.string()};
    for (const nelk_validator::check& each : nelk_validator::imageChecks()) {
        if (std::string(each.id) != "package-files") continue;
        const nelk_validator::check_outcome outcome = nelk_validator::runHere(each, settings);
        if (nelk_validator::isFailure(outcome.status)) {
            problem = package + " fails its own manifest: " + outcome.reason;
            return false;
        }
    }
    return true;
}

// The name the real library takes when the tap stands in its place: Corvane.dll -> Corvane.real.dll.
std::string realName(const std::string& library) {
    const fs::path path(library);
    return path.stem().string() + ".real" + path.extension().string();
}

}  // namespace

namespace {

// Every file of the package that goes where in the host's folder `into`, decided before anything
// is written; false with `problem` when the tap is missing or a string library there would be replaced.
bool plannedFiles(const deploy_request& request, const manifest& contents, const fs::path& unpacked, const fs::path& into,
                  std::vector<std::pair<fs::path, fs::path>>& files, std::string& problem) {
    const fs::path target = into / contents.name;
    if (request.withTap) {
        const std::string tap = tapLibrary(contents.platform, contents.architecture, problem);
        if (tap.empty()) return false;
        files.emplace_back(tap, target / contents.library);
        files.emplace_back(unpacked / contents.library, target / realName(contents.library));
    } else {
        files.emplace_back(unpacked / contents.library, target / contents.library);
    }
    for (const std::string& layout : contents.layouts) files.emplace_back(unpacked / layout, target / layout);
    if (contents.stringLibrary.empty()) return true;
    std::error_code error;
    const fs::path existing = into.parent_path() / contents.stringLibrary;
    if (fs::exists(existing, error) && !sameFile(existing, unpacked / contents.stringLibrary) && !request.force) {
        problem = existing.string() + " is there already, and may be the host's own string library, which its other "
                  "components are built against: deploy a package packed without it, or give --force to replace it "
                  "(the one there is kept in the backup)";
        return false;
    }
    files.emplace_back(unpacked / contents.stringLibrary, existing);
    return true;
}

// Puts `from` at `to`, keeping what was at `to` in the record's backup the first time this deployment
// touches it; false with `problem` (the record saved as far as it got).
bool placeRecorded(const fs::path& from, const fs::path& to, deploy_record& record, deploy_result& result) {
    std::error_code error;
    const std::string path = to.string();
    if (!record.knows(path)) {
        if (fs::exists(fs::symlink_status(to, error))) {
            const std::string backup = std::to_string(record.replaced.size()) + "-" + to.filename().string();
            fs::copy(to, record.folder / "backup" / backup, fs::copy_options::copy_symlinks, error);
            if (error) {
                result.problem = "cannot keep " + path + " in the backup: " + error.message();
                record.save(result.problem);
                return false;
            }
            record.replaced.emplace_back(path, backup);
            result.kept.push_back(path);
        } else {
            record.created.push_back(path);
        }
    }
    if (!place(from, to, result.problem)) {
        std::string ignored;
        record.save(ignored);
        return false;
    }
    result.placed.push_back(path);
    return true;
}

}  // namespace

deploy_result deploy(const deploy_request& request, const std::string& scratch) {
    deploy_result result;
    manifest contents;
    const fs::path unpacked = fs::path(scratch) / "package";
    if (!openPackage(request.package, unpacked, contents, result.problem)) return result;
    result.name = contents.name;
    std::error_code error;
    if (!fs::is_directory(request.into, error)) {
        result.problem = request.into + " is not a folder: give the host's component folder";
        return result;
    }
    const fs::path into = fs::absolute(request.into, error);
    const fs::path target = into / contents.name;
    std::vector<std::pair<fs::path, fs::path>> files;
    if (!plannedFiles(request, contents, unpacked, into, files, result.problem)) return result;
    deploy_record record;
    record.folder = into / ".nelk-deploy" / contents.name;
    if (!record.load(result.problem)) return result;
    fs::create_directories(record.folder / "backup", error);
    fs::create_directories(target, error);
    if (error) {
        result.problem = "cannot make " + target.string() + ": " + error.message();
        return result;
    }
    for (const auto& [from, to] : files)
        if (!placeRecorded(from, to, record, result)) return result;
    result.done = record.save(result.problem);
    return result;
}

deploy_result undoDeploy(const std::string& nameOrPackage, const std::string& into, const std::string& scratch) {
    deploy_result result;
    std::error_code error;
    result.name = nameOrPackage;
    if (fs::is_regular_file(nameOrPackage, error)) {
        manifest contents;
        if (!openPackage(nameOrPackage, fs::path(scratch) / "package", contents, result.problem)) return result;
        result.name = contents.name;
    }
    const fs::path folder = fs::absolute(into, error);
    deploy_record record;
    record.folder = folder / ".nelk-deploy" / result.name;
    if (!fs::exists(record.folder / "record.json", error)) {
        result.problem = "nothing to undo: no deploy of " + result.name + " into " + folder.string() + " is recorded";
        return result;
    }
    if (!record.load(result.problem)) return result;
    for (const std::string& path : record.created) {
        if (fs::remove(path, error)) result.placed.push_back(path);
    }
    for (const auto& [path, backup] : record.replaced) {
        fs::remove(path, error);
        fs::copy(record.folder / "backup" / backup, path, fs::copy_options::copy_symlinks, error);
        if (error) {
            result.problem = "cannot put back " + path + " from " + (record.folder / "backup" / backup).string() + ": " + error.message();
            return result;
        }
        result.kept.push_back(path);
    }
    fs::remove_all(record.folder, error);
    fs::remove(folder / ".nelk-deploy", error);  // only when no other component's record is there
    fs::remove(folder / result.name, error);     // only when nothing else is in it
    result.done = true;
    return result;
}

}  // namespace nelk_package
