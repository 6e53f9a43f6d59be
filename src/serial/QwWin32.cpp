#include "serial/QwWin32.h"

#include "serial/QnTermiosDevice.h"

std::unique_ptr<IQnSerialDevice> TQnWin32Dispatcher::OpenCom(const std::string& name, int32_t& result) {
    return TQnTermiosDevice::Open(name, result);
}

std::unique_ptr<IQnSerialDevice> TQnTAPI32Dispatcher::OpenCom(const std::string&, int32_t& result) {
    if (adoptedFd_ < 0) {
        result = QnResultNotOpen;
        return nullptr;
    }
    return TQnTermiosDevice::Adopt(adoptedFd_, result);
}

int32_t TQnTAPI32Dispatcher::ReadLentState(TQnLineState& state) {
    return adoptedFd_ < 0 ? QnResultNotOpen : TQnTermiosDevice::ReadLentState(adoptedFd_, state);
}
