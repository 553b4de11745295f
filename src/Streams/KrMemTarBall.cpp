// TKrMemTarBall: every entry of a tarball read into memory.
#include "Streams/KrMemTarBall.h"
#include "Core/KrMessage.h"
#include "Core/KrProgressHandler.h"
#include "Streams/KrTarBall.h"

TKrMemTarBall::TKrMemTarBall() = default;

TKrMemTarBall::TKrMemTarBall(TKrStream* source, TKrProgressHandler* progress) {
    Load(source, progress);
}

TKrMemTarBall::~TKrMemTarBall() = default;

void TKrMemTarBall::Load(TKrStream* source, TKrProgressHandler* progress) {
    Clear();
    TKrTarBallReader reader(source, TKrTarReader::TFormatOptions());
    const streamsize_t total = source->getSize64();
    TTarFileRecord record;
    var_a<char*> data;
    while (reader.ReadFile(&record, &data)) {
        m_files[record.name] = TFile(data, record.size);
        if (progress && total && total != TKrStream::invalid_value64) {
            progress->SetPosNB(static_cast<double>(source->getPosition64()) / static_cast<double>(total));
            progress->UserBreakE();
        }
    }
    if (reader.getState() & TKrStream::stReadError)
        throw TKrMessage("@TKrMemTarBall::Load(): the gzip data of \"%1%\" is corrupt or truncated.")
            << source->GetInfoName();
}

const TKrMemTarBall::TFile* TKrMemTarBall::GetFile(const std::string& name) const {
    auto it = m_files.find(name);
    return it == m_files.end() ? nullptr : &it->second;
}

void TKrMemTarBall::Clear() {
    m_files.clear();
}
