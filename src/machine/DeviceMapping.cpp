#include "machine/DeviceMapping.h"

namespace {

const std::array<std::array<const char*, 4>, 4> DeviceNames = {{
    {"TTY", "CRT", "BAT", "UC1"},
    {"TTY", "PTR", "UR1", "UR2"},
    {"TTY", "PTP", "UP1", "UP2"},
    {"TTY", "CRT", "LPT", "UL1"},
}};

// The item texts keep their double blanks.
const std::array<std::array<const char*, 4>, 4> ListItems = {{
    {"TTY - Display/Keyboard", "CRT - Display/Keyboard", "BAT - RDR /  LST", "UC1 - Com port 1"},
    {"TTY - TTY Keyboard", "PTR - Com Port 2", "UR1 - File Reader", "UR2 - Null device"},
    {"TTY - TTY Display", "PTP - Com Port 2", "UP1 - File Writer", "UP2 - Null device"},
    {"TTY - Display", "CRT - Display", "LPT - Printer Device", "UL1 -  Com Port 2"},
}};

int Field(uint8_t value, TMappedDevice device) { return (value >> (2 * static_cast<int>(device))) & 3; }

}  // namespace

const char* MappingDeviceName(TMappedDevice device, int value) {
    return DeviceNames[static_cast<size_t>(device) & 3][static_cast<size_t>(value) & 3];
}

const std::array<const char*, 4>& MappingListItems(TMappedDevice device) {
    return ListItems[static_cast<size_t>(device) & 3];
}

std::string ConLstLabelText(uint8_t value) {
    return std::string("CON=") + MappingDeviceName(TMappedDevice::Con, Field(value, TMappedDevice::Con)) +
           ", LST=" + MappingDeviceName(TMappedDevice::Lst, Field(value, TMappedDevice::Lst));
}

std::string PtrPtpLabelText(uint8_t value) {
    return std::string("RDR=") + MappingDeviceName(TMappedDevice::Rdr, Field(value, TMappedDevice::Rdr)) +
           ", PUN=" + MappingDeviceName(TMappedDevice::Pun, Field(value, TMappedDevice::Pun));
}

uint8_t TDeviceMapping::GetMappingByte() const {
    // "and 3" on -1 (no selection) gives 3.
    return static_cast<uint8_t>((FItemIndex[0] & 3) | (FItemIndex[1] & 3) << 2 | (FItemIndex[2] & 3) << 4 |
                                (FItemIndex[3] & 3) << 6);
}

void TDeviceMapping::SetMappingCombos(uint8_t value) {
    for (int i = 0; i < 4; ++i) FItemIndex[static_cast<size_t>(i)] = Field(value, static_cast<TMappedDevice>(i));
    if (OnChanged) OnChanged(*this);
}

void TDeviceMapping::SetItemIndex(TMappedDevice device, int index) {
    if (index < -1 || index > 3) return;
    FItemIndex[static_cast<size_t>(device) & 3] = index;
    if (OnChanged) OnChanged(*this);
    MappingChanged();
}

void TDeviceMapping::SetColdBootMapping(uint8_t value) {
    FColdBootMapping = value;
    if (OnChanged) OnChanged(*this);
}

void TDeviceMapping::SetDefaults() { SetColdBootMapping(GetMappingByte()); }

void TDeviceMapping::RestoreDefaults() {
    SetMappingCombos(FColdBootMapping);
    IOByteChanged(FColdBootMapping);
}

void TDeviceMapping::MappingChanged() { IOByteChanged(GetMappingByte()); }

void TDeviceMapping::IOByteChanged(uint8_t value) {
    if (OnIOByteChanged) OnIOByteChanged(*this, value);
}
