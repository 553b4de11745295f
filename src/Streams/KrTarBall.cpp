// TKrTarBallWriter, TKrTarBallReader: the tar writer and reader over their own gzip halves.
#include "Streams/KrTarBall.h"
#include "Core/KrExceptions.h"
#include "Core/KrLog.h"

TKrTarBallWriter::TKrTarBallWriter(TKrStream* target, const TKrTarWriter::TFormatOptions& format, int level)
    : TKrGZipWriter(), TKrTarWriter(static_cast<TKrGZipWriter*>(this), format, optCloseTarget) {
    if (!TKrGZipWriter::Open(target, level)) {
        DetachTarget(); // nothing to finish: the tar half's destructor must not write
        throw TKrMessage("@TKrTarBallWriter: cannot start gzip data in \"%1%\" at level %2%.")
            << (target ? target->GetInfoName() : std::string()) << level;
    }
}

TKrTarBallWriter::~TKrTarBallWriter() {
    // Both halves are finished here, while the whole object still exists; the tar half's own
    // destructor then has nothing left to do.
    try {
        Close();
    } catch (...) {
        try {
            KrLogWriteError(KrMsg_helper("Err_InFunction_func_msg")
                            << "TKrTarBallWriter::~TKrTarBallWriter()/Close()" << KrGetExceptionReason());
        } catch (...) {
        }
    }
    DetachTarget();
}

bool TKrTarBallWriter::Close() {
    // The gzip half's Open calls Close to end a previous member: no archive to finish then.
    if (!IsOpen()) return true;
    return TKrTarWriter::Close();
}

bool TKrTarBallWriter::CloseTarget() {
    return TKrGZipWriter::Close();
}

TKrTarBallReader::TKrTarBallReader(TKrStream* source, const TKrTarReader::TFormatOptions& format)
    : TKrGZipReader(), TKrTarReader(static_cast<TKrGZipReader*>(this), format) {
    if (!TKrGZipReader::Open(source))
        throw TKrMessage("@TKrTarBallReader: \"%1%\" does not hold gzip data.")
            << (source ? source->GetInfoName() : std::string());
}

TKrTarBallReader::~TKrTarBallReader() = default;
