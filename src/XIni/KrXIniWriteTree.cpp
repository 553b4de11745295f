// Writing XIni trees to streams and files.
#include "XIni/KrXIniWriteTree.h"

#include "Core/KrExceptions.h"
#include "Core/KrMessage.h"
#include "Streams/KrFileStream.h"
#include "System/KrPath.h"
#include "XIni/KrXIniStreamWriter.h"

namespace {

var_a<TKrFileStream*> CreateFileE(const TKrPath& path) {
    var_a<TKrFileStream*> file = TKrFileStream::VCreate(path, krCreate);
    if (!file->IsOpen()) throw KrMsg_helper("Err_CreateFile_name") << path;
    return file;
}

} // namespace

bool WriteKrXIniTree(TKrStream* stream, const TKrXIniTree* tree, int compression, bool throwOnError,
                     TKrProgressHandler* progress) {
    TKrXIniStreamWriter writer(static_a(stream), compression, TKrXIniStreamWriter::Full);
    if (throwOnError) {
        if (!writer.MergeXIni(tree, progress)) writer.throw_xwrite_error_i();
        // Small documents reach the stream only here, so a full disk shows up at Close.
        writer.CloseE();
        return true;
    }
    const bool merged = writer.MergeXIni(tree, progress);
    return writer.Close() && merged;
}

bool WriteKrXIniTreeToFile(const TKrPath& path, const TKrXIniTree* tree, int compression, bool throwOnError,
                           TKrProgressHandler* progress) {
    var_a<TKrFileStream*> file = CreateFileE(path);
    return WriteKrXIniTree(file.get(), tree, compression, throwOnError, progress);
}

var_a<TKrXIniWriter*> GetXIniWriter(const TKrPath& path) {
    var_a<TKrStream*> file = CreateFileE(path);
    return new_a<TKrXIniStreamWriter>(file, 0, TKrXIniStreamWriter::Full);
}
