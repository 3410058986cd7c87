#pragma once

#include <cstdint>
#include <string>

class CQvAudioProtocol;

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

// The link through the program's protocol, whose device manager serialises requests from
// several threads. protocol may be null (no device manager could be made): no card then.
class CProtocolCardLink : public ICardLink {
  public:
    explicit CProtocolCardLink(CQvAudioProtocol* protocol) : m_protocol(protocol) {}
    bool IsConnected() override;
    bool QueryVersions(std::string& hardware, std::string& firmware) override;
    int CardsAttached() override;

  private:
    CQvAudioProtocol* m_protocol;
};

}  // namespace firmware
