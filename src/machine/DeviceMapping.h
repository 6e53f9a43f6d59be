#pragma once
// The device mapping byte in the CP/M IOBYTE layout: bits 0-1 CON, 2-3 RDR,
// 4-5 PUN, 6-7 LST. The BIOS reads the cold-boot default from port 48h; once
// the system is booted, every change of the four mapping lists is written to
// the IOBYTE at 0003h. Which ports serve which device is the BIOS's business;
// the port map never looks at the byte.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// The four logical devices, in bit order.
enum class TMappedDevice : uint8_t { Con = 0, Rdr = 1, Pun = 2, Lst = 3 };

// Short name of a field value: "TTY", "CRT", "BAT", ... (value taken mod 4).
const char* MappingDeviceName(TMappedDevice device, int value);
// The item texts of the device's mapping list, value 0-3.
const std::array<const char*, 4>& MappingListItems(TMappedDevice device);
// The two default-mapping labels for a byte: "CON=CRT, LST=TTY" and
// "RDR=TTY, PUN=TTY".
std::string ConLstLabelText(uint8_t value);
std::string PtrPtpLabelText(uint8_t value);

// The Ports page's "Device Mapping" panel as a plain model: the four list
// selections and the cold-boot default. Whether a change reaches memory is
// the machine's business: it writes the IOBYTE only once the system is booted.
class TDeviceMapping {
public:
    static constexpr uint16_t IOByteAddress = 0x0003;

    // The lists (or "Defaults") gave the IOBYTE a new value; the machine
    // writes it to 0003h while the system is booted.
    std::function<void(TDeviceMapping& sender, uint8_t value)> OnIOByteChanged;
    // The selections or the default changed from this side (for example the
    // reader switching the console); the panel redraws.
    std::function<void(TDeviceMapping& sender)> OnChanged;

    // Item index of each list, -1 = no selection.
    int ItemIndex(TMappedDevice device) const { return FItemIndex[static_cast<size_t>(device) & 3]; }

    // The mapping the BIOS reads at cold boot; 1 until set.
    uint8_t ColdBootMapping() const { return FColdBootMapping; }
    // A new cold-boot mapping (start-up, the settings file); the lists and
    // memory are not touched.
    void SetColdBootMapping(uint8_t value);

    // Each list's item index := its two-bit field. Memory is not touched.
    void SetMappingCombos(uint8_t value);

    // IN (48h).
    uint8_t MappingPortRead() const { return FColdBootMapping; }

    // Labels of the "[ Defaults ]" group, showing the cold-boot mapping.
    std::string ConLstDeviceLabel() const { return ConLstLabelText(FColdBootMapping); }
    std::string PtrPtpDeviceLabel() const { return PtrPtpLabelText(FColdBootMapping); }

    // The user picked an item (index -1..3; others are refused): the
    // IOBYTE follows.
    void SetItemIndex(TMappedDevice device, int index);
    // "Set Defaults": the lists become the cold-boot mapping.
    void SetDefaults();
    // "Defaults": the lists return to the cold-boot mapping, and so does the
    // IOBYTE.
    void RestoreDefaults();
    // Memory 0003h shown in the lists (the Ports page opened while booted).
    void ShowIOByte(uint8_t value) { SetMappingCombos(value); }

private:
    // The byte the four lists show; a list without a selection gives 3.
    uint8_t GetMappingByte() const;
    // A change of the lists: the IOBYTE follows GetMappingByte.
    void MappingChanged();
    void IOByteChanged(uint8_t value);

    uint8_t FColdBootMapping = 1;
    std::array<int, 4> FItemIndex{1, 0, 0, 0};
};
