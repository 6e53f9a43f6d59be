// Trace and dispatch-log control of the serial-port component.
#include "serial/QnPort.h"

TQnBaseDispatcher& TQnCustomComPort::RecorderDispatcher() { return RequireDispatcher(); }

void TQnCustomComPort::StartRecorder(Recorder which, uint32_t size) {
    TQnBaseDispatcher& dispatcher = RecorderDispatcher();
    if (which == Recorder::Trace) {
        if (size != 0) s_.TraceSize = size;
        Check(dispatcher.Trace().InitTracing(s_.TraceSize));
        s_.TraceState = QnLogOn;
    } else {
        if (size != 0) s_.LogSize = size;
        dispatcher.Log().InitDispatchLog(s_.LogSize);
        s_.LogState = QnLogOn;
    }
}

void TQnCustomComPort::ResumeRecorder(Recorder which) {
    TQnBaseDispatcher& dispatcher = RecorderDispatcher();
    if (which == Recorder::Trace) {
        dispatcher.Trace().StartTracing();
        s_.TraceState = QnLogOn;
    } else {
        dispatcher.Log().StartDispatchLog();
        s_.LogState = QnLogOn;
    }
}

void TQnCustomComPort::DumpRecorder(Recorder which, const std::string& fileName, bool inHex, bool append) {
    TQnBaseDispatcher& dispatcher = RecorderDispatcher();
    if (which == Recorder::Trace) {
        TQnTrace& trace = dispatcher.Trace();
        s_.TraceState = QnLogOff;
        Check(append ? trace.AppendTrace(fileName, inHex, s_.TraceAllHex)
                     : trace.DumpTrace(fileName, inHex, s_.TraceAllHex));
    } else {
        TQnDispatchLog& log = dispatcher.Log();
        s_.LogState = QnLogOff;
        Check(append ? log.AppendDispatchLog(fileName, inHex, s_.LogAllHex)
                     : log.DumpDispatchLog(fileName, inHex, s_.LogAllHex));
    }
}

void TQnCustomComPort::SetRecorderState(Recorder which, uint8_t value) {
    const bool trace = which == Recorder::Trace;
    uint8_t& state = trace ? s_.TraceState : s_.LogState;
    if (Unchanged(value == state)) return;
    if (!Live()) {
        state = value >= QnLogDump ? uint8_t{QnLogOff} : value;
        return;
    }
    const bool active = state == QnLogOn || state == QnLogPause;
    switch (value) {
        case QnLogOff:
            if (active) {
                if (trace)
                    dispatcher_->Trace().AbortTracing();
                else
                    dispatcher_->Log().AbortDispatchLog();
            }
            state = QnLogOff;
            break;
        case QnLogOn:
            if (state == QnLogPause)
                ResumeRecorder(which);
            else
                StartRecorder(which, 0);
            break;
        case QnLogDump:
        case QnLogAppend:
            if (!active) break;
            ResumeRecorder(which);
            DumpRecorder(which, trace ? s_.TraceFileName : s_.LogFileName, trace ? s_.TraceHex : s_.LogHex,
                         value == QnLogAppend);
            break;
        case QnLogClear:
            if (!active) break;
            if (trace)
                dispatcher_->Trace().ClearTracing();
            else
                dispatcher_->Log().ClearDispatchLog();
            break;
        case QnLogPause:
            if (state != QnLogOn) break;
            if (trace)
                dispatcher_->Trace().StopTracing();
            else
                dispatcher_->Log().StopDispatchLog();
            state = QnLogPause;
            break;
        default:
            RaisePortError(-1002);
    }
}

void TQnCustomComPort::SetTraceState(uint8_t value) { SetRecorderState(Recorder::Trace, value); }
void TQnCustomComPort::SetLogState(uint8_t value) { SetRecorderState(Recorder::Log, value); }

void TQnCustomComPort::InitTracing(uint32_t size) {
    if (state_ != TQnPortState::Closing) StartRecorder(Recorder::Trace, size);
}
void TQnCustomComPort::InitLogging(uint32_t size) {
    if (state_ != TQnPortState::Closing) StartRecorder(Recorder::Log, size);
}
void TQnCustomComPort::DumpTrace(const std::string& fileName, bool inHex) {
    if (state_ != TQnPortState::Closing) DumpRecorder(Recorder::Trace, fileName, inHex, false);
}
void TQnCustomComPort::AppendTrace(const std::string& fileName, bool inHex) {
    if (state_ != TQnPortState::Closing) DumpRecorder(Recorder::Trace, fileName, inHex, true);
}
void TQnCustomComPort::DumpLog(const std::string& fileName, bool inHex) {
    if (state_ != TQnPortState::Closing) DumpRecorder(Recorder::Log, fileName, inHex, false);
}
void TQnCustomComPort::AppendLog(const std::string& fileName, bool inHex) {
    if (state_ != TQnPortState::Closing) DumpRecorder(Recorder::Log, fileName, inHex, true);
}
void TQnCustomComPort::ClearTracing() {
    if (state_ != TQnPortState::Closing) RecorderDispatcher().Trace().ClearTracing();
}
void TQnCustomComPort::ClearLogging() {
    if (state_ != TQnPortState::Closing) RecorderDispatcher().Log().ClearDispatchLog();
}
void TQnCustomComPort::AbortTracing() {
    if (state_ == TQnPortState::Closing) return;
    RecorderDispatcher().Trace().AbortTracing();
    s_.TraceState = QnLogOff;
}
void TQnCustomComPort::AbortLogging() {
    if (state_ == TQnPortState::Closing) return;
    RecorderDispatcher().Log().AbortDispatchLog();
    s_.LogState = QnLogOff;
}
void TQnCustomComPort::StartTracing() {
    if (state_ != TQnPortState::Closing) ResumeRecorder(Recorder::Trace);
}
void TQnCustomComPort::StartLogging() {
    if (state_ != TQnPortState::Closing) ResumeRecorder(Recorder::Log);
}
void TQnCustomComPort::StopTracing() {
    if (state_ == TQnPortState::Closing) return;
    RecorderDispatcher().Trace().StopTracing();
    s_.TraceState = QnLogPause;
}
void TQnCustomComPort::StopLogging() {
    if (state_ == TQnPortState::Closing) return;
    RecorderDispatcher().Log().StopDispatchLog();
    s_.LogState = QnLogPause;
}
