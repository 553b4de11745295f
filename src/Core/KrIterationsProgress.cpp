// Iteration progress for optimisation loops.
#include "Core/KrIterationsProgress.h"

#include <algorithm>
#include <cmath>

TKrUIDObject IKrIterationsProgress::IKrIterationsProgressUIDObj = {"IKrIterationsProgress"};

IKrInterface* IKrIterationsProgress::GetInterface_Int(TKrUIDObject* id) {
    return id == &IKrIterationsProgressUIDObj ? this : IKrInterface::GetInterface_Int(id);
}

double IKrIterationsProgress::LogFnValueToPos(double start, double value, double goal) {
    if (!(start != goal) || !std::isfinite(start) || !std::isfinite(value) || !std::isfinite(goal))
        return 0.0;
    double pos;
    if (start > goal && goal > 0 && value > 0)
        pos = (std::log(start) - std::log(value)) / (std::log(start) - std::log(goal));
    else
        pos = (start - value) / (start - goal);
    return std::clamp(pos, 0.0, 1.0);
}

TIterationFormProgress::TIterationFormProgress(TKrProgressHandler* parent, double from, double to)
    : TBaseProgress(parent, from, to) {}

void TIterationFormProgress::Start(double startValue) {
    m_startValue = m_lastValue = startValue;
    m_iterations = 0;
    m_iterationBreak = false;
    if (!IsStarted()) TBaseProgress::Start();
    SetPosNB(0.0);
}

void TIterationFormProgress::Next(double value, double goal) {
    ++m_iterations;
    m_lastValue = value;
    // Never move backwards: an objective that rises for a while keeps the position.
    const double pos = std::max(GetPos(), LogFnValueToPos(m_startValue, value, goal));
    if (Timeout())
        SetPosNB(pos);
    else
        m_position = pos;
    Tick();
}

void TIterationFormProgress::NextEvent() {
    ++m_iterations;
    Tick();
}

void TIterationFormProgress::Stop() {
    if (IsStarted()) TBaseProgress::Stop();
}

var_a<TKrProgressHandler*> TIterationFormProgress::SubProgress(TKrLogMsgLevel msgLevel,
                                                               TKrLogMsgLevel logLevel) {
    return TBaseProgress::SubProgress(GetPos(), 1.0, msgLevel, logLevel);
}
