#include "app/cli/named_files.h"

#include "app/cli/private_file.h"

namespace {

// What an output must not be, as the refusal says it.
const char* kindText(PathKind kind) {
    switch (kind) {
    case PathKind::Folder:
        return "is a folder";
    case PathKind::Link:
        return "is a symbolic link";
    case PathKind::Pipe:
        return "is a pipe";
    case PathKind::Device:
        return "is a device";
    case PathKind::Absent:
    case PathKind::Regular:
        return nullptr;
    case PathKind::Other:
        break;
    }
    return "is not a regular file";
}

} // namespace

bool checkNamedFiles(const std::vector<NamedFile>& files, std::string& error) {
    for (const NamedFile& file : files) {
        const char* refusal =
            file.output && !file.path.empty() ? kindText(pathKind(file.path)) : nullptr;
        if (refusal != nullptr) {
            error = std::string(file.role) + " " + file.path + " " + refusal +
                    "; give a regular file or a new path";
            return false;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t j = i + 1; j < files.size(); ++j) {
            if (!files[i].path.empty() && !files[j].path.empty() &&
                sameFile(files[i].path, files[j].path)) {
                error = std::string(files[i].role) + " names the same file as " + files[j].role +
                        " (" + files[j].path + ")";
                return false;
            }
        }
    }
    return true;
}
