#include "package_manifest.h"

#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

namespace nelk_package {

namespace {

using json = nlohmann::ordered_json;

bool readText(const json& object, const char* field, std::string& value, std::string& problem, bool required = true) {
    const auto found = object.find(field);
    if (found == object.end() || found->is_null()) {
        if (required) problem = std::string("the manifest has no \"") + field + "\"";
        return !required;
    }
    if (!found->is_string()) {
        problem = std::string("the manifest's \"") + field + "\" is not a text";
        return false;
    }
    value = found->get<std::string>();
    return true;
}

}  // namespace

std::string manifestText(const manifest& contents) {
    json files = json::array();
    for (const packaged_file& each : contents.files) files.push_back({{"path", each.path}, {"size", each.size}, {"sha256", each.sha256}});
    const json document{{"name", contents.name},
                        {"version", contents.version},
                        {"kit_version", contents.kitVersion},
                        {"platform", contents.platform},
                        {"architecture", contents.architecture},
                        {"entry", contents.entry},
                        {"library", contents.library},
                        {"layouts", contents.layouts},
                        {"string_library", contents.stringLibrary.empty() ? json(nullptr) : json(contents.stringLibrary)},
                        {"files", files}};
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool readManifest(const std::string& text, manifest& contents, std::string& problem) {
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        problem = "the manifest is not a JSON object";
        return false;
    }
    manifest read;
    if (!readText(document, "name", read.name, problem) || !readText(document, "version", read.version, problem) ||
        !readText(document, "kit_version", read.kitVersion, problem) || !readText(document, "platform", read.platform, problem) ||
        !readText(document, "architecture", read.architecture, problem) || !readText(document, "entry", read.entry, problem) ||
        !readText(document, "library", read.library, problem) ||
        !readText(document, "string_library", read.stringLibrary, problem, false))
        return false;
    const auto layouts = document.find("layouts");
    const auto files = document.find("files");
    if (layouts == document.end() || !layouts->is_array() || files == document.end() || !files->is_array()) {
        problem = "the manifest's \"layouts\" and \"files\" must be lists";
        return false;
    }
    for (const json& each : *layouts) {
        if (!each.is_string()) {
            problem = "the manifest's \"layouts\" holds something other than a text";
            return false;
        }
        read.layouts.push_back(each.get<std::string>());
    }
    for (const json& each : *files) {
        packaged_file file;
        if (!each.is_object() || !readText(each, "path", file.path, problem) || !readText(each, "sha256", file.sha256, problem))
            return problem.empty() ? (problem = "an entry of the manifest's \"files\" is not an object", false) : false;
        const auto size = each.find("size");
        if (size == each.end() || !size->is_number_unsigned()) {
            problem = "the manifest gives " + file.path + " no size";
            return false;
        }
        file.size = size->get<std::uint64_t>();
        read.files.push_back(file);
    }
    contents = read;
    return true;
}

bool digestFile(const std::string& path, std::uint64_t& size, std::string& sha256, std::string& problem) {
    std::ifstream input(path, std::ios::binary);
    if (!input) {
        problem = "cannot read " + path;
        return false;
    }
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool done = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    size = 0;
    char buffer[65536];
    while (done && input) {
        input.read(buffer, sizeof buffer);
        const std::streamsize got = input.gcount();
        size += static_cast<std::uint64_t>(got);
        if (got > 0) done = EVP_DigestUpdate(context, buffer, static_cast<std::size_t>(got)) == 1;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    done = done && !input.bad() && EVP_DigestFinal_ex(context, digest, &length) == 1;
    EVP_MD_CTX_free(context);
    if (!done) {
        problem = "cannot read " + path + " to its end";
        return false;
    }
    sha256.clear();
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        sha256 += pair;
    }
    return true;
}

std::string packageFileName(const manifest& contents) {
    // A Windows package is named by its architecture alone, the host's platform being Windows.
    const std::string architecture =
        contents.platform == "windows" ? contents.architecture : contents.platform + "-" + contents.architecture;
    return contents.name + "-" + contents.version + "-" + architecture + ".zip";
}

}  // namespace nelk_package
