// An engine's client library, loaded at run time when --catalog asks for
// it: b64num-lstat does not link it, so that runs without --catalog start
// as fast as ever, and run where it is not installed.
#ifndef B64NUM_CLIENT_LIBRARY_H
#define B64NUM_CLIENT_LIBRARY_H

#include <dlfcn.h>

#include <string>

class ClientLibrary {
public:
    // Loads `file`, which the Debian package `package` installs: false,
    // with `error`, where it cannot be.
    bool open(const char* file, const char* package, std::string& error);

    // Looks up the function `name`; one missing makes complete() false.
    template <typename Function> void find(const char* name, Function& function)
    {
        function = reinterpret_cast<Function>(dlsym(handle_, name)); // NOLINT: dlsym's way
        if (function == nullptr && missing_.empty()) {
            missing_ = name;
        }
    }

    // Whether every function looked up was found: false, with `error`,
    // where one was not.
    bool complete(std::string& error) const;

private:
    // Never closed: the functions found in it serve the rest of the run.
    // cppcheck-suppress unsafeClassCanLeak
    void* handle_ = nullptr;
    std::string file_;
    std::string missing_; // the first function not found
};

// The functions of a client library, looked up once for the process by
// `load`: nullptr, with `error`, where it failed (then and every time after).
template <typename Functions>
const Functions* load_once(bool (*load)(Functions&, std::string&), std::string& error)
{
    static Functions functions{};
    static std::string load_error;
    static const bool loaded = load(functions, load_error);
    if (!loaded) {
        error = load_error;
        return nullptr;
    }
    return &functions;
}

#endif
