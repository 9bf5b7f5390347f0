#include "client_library.h"

bool ClientLibrary::open(const char* file, const char* package, std::string& error)
{
    file_ = file;
    handle_ = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        error = std::string("cannot load the client library ") + file + " (apt-get install " +
                package + "): " + dlerror();
        return false;
    }
    return true;
}

bool ClientLibrary::complete(std::string& error) const
{
    if (!missing_.empty()) {
        error = file_ + " lacks " + missing_ + ", which the reader needs";
        return false;
    }
    return true;
}
