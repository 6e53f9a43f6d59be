#pragma once
// The two dispatchers over the termios device: one that opens a device by
// path, and one that adopts a descriptor opened elsewhere (it works on a
// duplicate, so the lender keeps its own descriptor open).

#include "serial/QwUser.h"

class TQnWin32Dispatcher : public TQnBaseDispatcher {
public:
    using TQnBaseDispatcher::TQnBaseDispatcher;

protected:
    std::unique_ptr<IQnSerialDevice> OpenCom(const std::string& name, int32_t& result) override;
};

class TQnTAPI32Dispatcher : public TQnBaseDispatcher {
public:
    // A negative descriptor means none was lent: InitPort then fails with
    // -2007 ("device not open").
    TQnTAPI32Dispatcher(void* owner, int adoptedFd) : TQnBaseDispatcher(owner), adoptedFd_(adoptedFd) {}

protected:
    std::unique_ptr<IQnSerialDevice> OpenCom(const std::string& name, int32_t& result) override;
    // The lent descriptor's settings, as its lender left them.
    int32_t ReadLentState(TQnLineState& state) override;

private:
    int adoptedFd_;
};
