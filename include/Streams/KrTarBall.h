// TKrTarBallWriter, TKrTarBallReader: tar archives inside gzip data (.tar.gz).
#pragma once

#include "Streams/KrGZipReader.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrTarReader.h"
#include "Streams/KrTarWriter.h"

/// A gzip writer on the target that carries a tar writer over itself: WriteFile compresses the
/// entries, Close writes the end marker and finishes the gzip member (the target itself stays
/// open unless the caller set optCloseSource on this stream). Costs what the gzip writer costs.
class KRSTD_API TKrTarBallWriter : public TKrGZipWriter, public TKrTarWriter {
public:
    /// Opens the gzip member (no header information) at the target's position with zlib
    /// `level` (-1 default, 0..9). Throws TKrMessage when it cannot be opened.
    TKrTarBallWriter(TKrStream* target, const TKrTarWriter::TFormatOptions& format, int level);
    /// Closes as Close does; never throws.
    ~TKrTarBallWriter() override;

    /// The archive's Close: end marker, then the gzip member's trailer.
    bool Close() override;

protected:
    bool CloseTarget() override;
};

/// A gzip reader on the source that carries a tar reader over itself.
class KRSTD_API TKrTarBallReader : public TKrGZipReader, public TKrTarReader {
public:
    /// Opens the gzip data at the start of `source`; throws TKrMessage when it is not gzip.
    TKrTarBallReader(TKrStream* source, const TKrTarReader::TFormatOptions& format);
    ~TKrTarBallReader() override;
};
