// TKrThreadProgressHandler: a progress handler a controlling thread can read and cancel while a worker
// reports.
#pragma once

#include "Core/KrProgressHandler.h"

#include <exception>
#include <memory>

/// All state lives under one mutex shared along the chain of sub-handlers, so a controlling
/// thread may call GetPos, GetMessage and SetUserBreak at any time. A requested break makes
/// CheckBreak (and so Tick) throw TBreakException once, and UserBreakE throw every time.
class KRSTD_API TKrThreadProgressHandler : public TKrProgressHandler {
public:
    class KRSTD_API TBreakException : public std::exception {
    public:
        static const char* const s_What; // "User break"
        const char* what() const noexcept override;
    };

    /// A root handler with its own shared state.
    TKrThreadProgressHandler();
    virtual ~TKrThreadProgressHandler();

    /// Asks the worker to stop (from any thread).
    void SetUserBreak();

    void Start() override;
    /// Not supported: throws.
    void StartIndefinite() override;
    void Stop() override;
    bool Timeout() override;
    bool IsStarted() override;
    void Tick() override;
    void ThreadTick() override {}
    double GetPos() override;
    /// Stores the position and carries it up to the root.
    void SetPosNB(double pos) override;
    bool MoveNB(double delta, bool force) override;
    void SetMessage(const std::string& message) override;
    std::string GetMessage() override;
    bool UserBreak() override;
    void UserBreakE() override;
    void CheckBreak() override;
    void SetOptions(int options) override;
    int GetOptions() override;
    var_a<TKrProgressHandler*> SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                           TKrLogMsgLevel logLevel) override;
    var_a<TKrProgressHandler*> InnermostSubProgress(TKrLogMsgLevel, TKrLogMsgLevel) override { return {}; }
    IKrInterface* KrInterface() override { return nullptr; }

    /// The slice of the parent's range this handler covers.
    double From() const noexcept { return m_from; }
    double To() const noexcept { return m_to; }

    struct TShared;

private:
    TKrThreadProgressHandler(TKrThreadProgressHandler* parent, double from, double to);

    TKrThreadProgressHandler* m_parent;
    double m_from;
    double m_to;
    double m_scale;
    double m_position = 0.0;
    std::shared_ptr<TShared> m_shared;
    std::string m_message;
    int m_options = 0;
};
