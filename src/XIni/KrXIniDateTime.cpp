// Settings persistence of TKrDateTime.
#include "XIni/KrXIniDateTime.h"

void XIniSaveSE(TKrXIniWriter* writer, const std::string& name, const TKrDateTime& value) {
    writer->WriteSE(name, value);
}

void XIniLoadSE(TKrXIniReader* reader, const std::string& name, TKrDateTime& value) {
    value = reader->ReadE<TKrDateTime>(reader->FindFE(name, 0));
}

void XIniLoadSE(TKrXIniReader* reader, const char* name, TKrDateTime& value) {
    value = reader->ReadE<TKrDateTime>(reader->FindFE(name, 0));
}

void XIniLoadS(TKrXIniReader* reader, const std::string& name, TKrDateTime& value) {
    value = TKrDateTime::FromRFCString(reader->Read_x_string(reader->FindF(name, 0), value.ToRFCString()));
}

void XIniLoadS(TKrXIniReader* reader, const char* name, TKrDateTime& value) {
    value = TKrDateTime::FromRFCString(reader->Read_x_string(reader->FindF(name, 0), value.ToRFCString()));
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDateTime& value) {
    value = reader->ReadE<TKrDateTime>(index);
}
