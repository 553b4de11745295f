// TSimpleConsoleProgress: shade characters per report, "*" per tick.
#include "Core/KrSimpleConsoleProgress.h"
#include "Core/KrBaseProgress.h"

#include <algorithm>

namespace {
constexpr std::uint32_t kTimeoutMs = 5000;
}

const unsigned char TSimpleConsoleProgress::States[5] = {0x5F, 0xB0, 0xB1, 0xB2, 0xDB};

TSimpleConsoleProgress::TSimpleConsoleProgress(std::FILE* out)
    : m_lastTick(KrProgressTickMs()), m_out(out ? out : stdout) {}

TSimpleConsoleProgress::~TSimpleConsoleProgress() = default;

void TSimpleConsoleProgress::Put(char c) {
    std::fputc(c, m_out);
    std::fflush(m_out);
    m_lastTick = KrProgressTickMs();
}

bool TSimpleConsoleProgress::Timeout() {
    return KrProgressTickMs() - m_lastTick > kTimeoutMs;
}

void TSimpleConsoleProgress::Tick() {
    Put('*');
}

void TSimpleConsoleProgress::SetPosNB(double pos) {
    m_position = pos;
    const double p = std::clamp(pos, 0.0, 1.0); // NaN compares false both ways: treat as 0 below
    const int index = p == p ? static_cast<int>(p * 4.99) : 0;
    Put(static_cast<char>(States[index]));
}

bool TSimpleConsoleProgress::MoveNB(double delta, bool force) {
    if (force || Timeout()) {
        SetPosNB(m_position + delta);
        return true;
    }
    m_position += delta;
    return false;
}

var_a<TKrProgressHandler*> TSimpleConsoleProgress::SubProgress(double from, double to,
                                                               TKrLogMsgLevel msgLevel,
                                                               TKrLogMsgLevel logLevel) {
    return new_a<TBaseProgress>(this, from, to, msgLevel, logLevel);
}
