#pragma once

#include <cstdint>
#include <string>

class ICommDeviceMgmt;

// What the upgrade needs of the card: whether it is attached, its versions, and how many
// cards are on the computer. Called on the UI thread and on the write worker.
namespace firmware {

class ICardLink {
  public:
    virtual ~ICardLink() = default;
    virtual bool IsConnected() = 0;
    // The device information (0x92, 3 attempts of 300 ms): "%d.%d" of the high and low
    // nibble of reply byte 4 (hardware) and byte 6 (firmware).
    virtual bool QueryVersions(std::string& hardware, std::string& firmware) = 0;
    // Cards of ours attached to the computer, opened by us or not (a card with several HID
    // interfaces counts once).
    virtual int CardsAttached() = 0;
};

// "%d.%d" of the high and low nibble.
std::string NibbleVersion(uint8_t value);

// The link through the program's device manager (the one its protocol uses), which serialises
// requests from several threads.
class CManagerCardLink : public ICardLink {
  public:
    explicit CManagerCardLink(ICommDeviceMgmt* manager) : m_manager(manager) {}
    bool IsConnected() override;
    bool QueryVersions(std::string& hardware, std::string& firmware) override;
    int CardsAttached() override;

  private:
    ICommDeviceMgmt* m_manager;
};

}  // namespace firmware
