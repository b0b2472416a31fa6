#include "core/file_ops.h"

const char* const kNotRegularFileText = "not a regular file";
const char* const kEndedEarlyText = "the file ended before its measured size";
const char* const kInUseText = "in use by another program";

namespace {

FileOps* gReplacement = nullptr; // the operations a test put in place, or null

} // namespace

FileOps& fileOps() {
    return gReplacement ? *gReplacement : systemFileOps();
}

FileOps* replaceFileOps(FileOps* ops) {
    FileOps* previous = gReplacement;
    gReplacement = ops;
    return previous;
}
