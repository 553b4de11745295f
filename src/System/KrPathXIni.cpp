// Settings persistence of TKrPath.
#include "System/KrPathXIni.h"

void XIniSaveSE(TKrXIniWriter* writer, const std::string& name, const TKrPath& path) {
    writer->WriteSE(name, path);
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrPath& path) {
    path = reader->ReadE<TKrPath>(index);
}
