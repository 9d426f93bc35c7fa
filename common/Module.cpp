#include "common/Module.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include <dlfcn.h>

namespace tarvex {

namespace {

std::vector<std::string> Candidates(const char* fileName, const char* builtPath) {
    std::vector<std::string> paths;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) paths.push_back((self.parent_path() / fileName).string());
#ifdef TARVEX_MODULE_DIR
    if (!ec)
        paths.push_back((self.parent_path().parent_path() / TARVEX_MODULE_DIR / fileName).string());
#endif
    if (builtPath && *builtPath) paths.emplace_back(builtPath);
    paths.emplace_back(fileName); // the loader's own search
    return paths;
}

void* Load(const char* fileName, const char* builtPath, const char* symbol, std::string& failure) {
    std::string first;
    for (const auto& path : Candidates(fileName, builtPath)) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* error = dlerror();
            if (first.empty() && error) first = error;
            continue;
        }
        if (void* function = dlsym(handle, symbol)) {
            failure.clear();
            return function;
        }
        if (first.empty()) first = path + ": no " + symbol;
        // The module stays loaded: its libraries allocate at load time and do not
        // give that back when unloaded.
    }
    failure = "the video library (" + std::string(fileName) + ") cannot be loaded: " + first;
    return nullptr;
}

} // namespace

void* LoadModuleSymbol(const char* fileName, const char* builtPath, const char* symbol,
                       std::string& failure) {
    struct TAnswer {
        void* Function;
        std::string Failure;
    };
    static std::mutex mutex;
    static std::map<std::tuple<std::string, std::string, std::string>, TAnswer> answers;
    const std::lock_guard lock(mutex);
    auto key = std::make_tuple(std::string(fileName), std::string(builtPath ? builtPath : ""),
                               std::string(symbol));
    auto found = answers.find(key);
    if (found == answers.end()) {
        TAnswer answer{nullptr, {}};
        answer.Function = Load(fileName, builtPath, symbol, answer.Failure);
        found = answers.emplace(std::move(key), std::move(answer)).first;
    }
    failure = found->second.Failure;
    return found->second.Function;
}

} // namespace tarvex
