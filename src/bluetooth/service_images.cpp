// Well-known service UUIDs with their image indices.
#include "bluetooth/service_images.h"

namespace quillon {

const std::array<TServiceImage, 28> ServiceImages = {{
    {"LAN Access Using PPP", BaseUuid(0x1102), 7},
    {"DialupNetworking", BaseUuid(0x1103), 7},
    {"OBEXObjectPush", BaseUuid(0x1105), 8},
    {"OBEXFileTransfer", BaseUuid(0x1106), 8},
    {"Cordless Telephony", BaseUuid(0x1109), 5},
    {"Audio Source", BaseUuid(0x110A), 1},
    {"Audio Sink", BaseUuid(0x110B), 1},
    {"AV Remote Control Target", BaseUuid(0x110C), 2},
    {"Advanced Audio Distribution", BaseUuid(0x110D), 1},
    {"AV Remote Control", BaseUuid(0x110E), 2},
    {"Headset Audio Gateway", BaseUuid(0x1112), 6},
    {"WAP", BaseUuid(0x1113), 7},
    {"WAP Client", BaseUuid(0x1114), 7},
    {"Personal Area Network User (PANU)", BaseUuid(0x1115), 9},
    {"Network Access Point (NAP)", BaseUuid(0x1116), 7},
    {"Group Ad-hoc Network (GN)", BaseUuid(0x1117), 7},
    {"Handsfree", BaseUuid(0x111E), 5},
    {"Handsfree Audio Gateway", BaseUuid(0x111F), 5},
    {"SIM Access", BaseUuid(0x112D), 10},
    {"Phonebook Access - PCE", BaseUuid(0x112E), 0},
    {"Phonebook Access - PSE", BaseUuid(0x112F), 0},
    {"Phonebook Access", BaseUuid(0x1130), 0},
    {"Headset headset", BaseUuid(0x1131), 6},
    {"Message Access Server", BaseUuid(0x1132), 4},
    {"Message Notification Server", BaseUuid(0x1133), 4},
    {"Message Access Profile", BaseUuid(0x1134), 4},
    {"Generic Networking", BaseUuid(0x1201), 7},
    {"Generic Audio", BaseUuid(0x1203), 1},
}};

int GetServiceImageIndex(const BtUuid& uuid) {
  for (const TServiceImage& record : ServiceImages) {
    if (record.UUID == uuid) return record.ImageIndex;
  }
  return 3;
}

}  // namespace quillon
