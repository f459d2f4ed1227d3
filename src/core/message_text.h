// Texts the program adds to the fixed message keys: read from the message file like every
// other message, so both languages live there, with an English fallback for an older file
// that lacks the key. Fields in a text are written {name} and filled by name, never as a
// printf format, so an edited message file cannot make a text read past its arguments.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "core/messages.h"

namespace quillon {

// Keys of the program's own texts in language_msg.ini.
namespace msgkey {
inline constexpr const char* kBusy = "MSG101";            // "busy: {what}"
inline constexpr const char* kBusyCommand = "MSG102";     // a single printer command
inline constexpr const char* kBusyFirmware = "MSG103";    // firmware update
inline constexpr const char* kBusyFont = "MSG104";        // font library download
inline constexpr const char* kBusyPicture = "MSG105";     // picture printing
inline constexpr const char* kBusyLogo = "MSG106";        // boot logo
inline constexpr const char* kBusyText = "MSG107";        // test text and ESC/POS sending
inline constexpr const char* kTransfer = "MSG110";        // {bytes} {seconds} {rate}
inline constexpr const char* kTransferNoRate = "MSG111";  // {bytes} {seconds}
inline constexpr const char* kOldTransfer = "MSG112";     // {bytes} {seconds}
inline constexpr const char* kFileTooLarge = "MSG113";    // {path} {size} {max}
inline constexpr const char* kNotAvailable = "MSG114";    // {what}
inline constexpr const char* kSerialCaption = "MSG115";   // caption suffix on the serial path
inline constexpr const char* kPictureEmpty = "MSG116";
inline constexpr const char* kPictureTooWide = "MSG117";  // {width} {max}
inline constexpr const char* kPictureTooHigh = "MSG118";  // {height} {max}
inline constexpr const char* kPrintStopped = "MSG119";    // {row} {rows}
inline constexpr const char* kLogoSize = "MSG120";  // {width} {height} {max_width} {max_height}
inline constexpr const char* kLogoConvert = "MSG121";
inline constexpr const char* kTextTooLong = "MSG122";  // %1 %2 (settings texts)
inline constexpr const char* kSendTooLong = "MSG126";  // {bytes} {max}
inline constexpr const char* kBadCodePage = "MSG127";  // {codepage}
}  // namespace msgkey

// The text of key, or fallback when the message file has none ("ERROR").
std::string TextOr(Messages& messages, const std::string& key, const std::string& fallback);

// text with every "{name}" replaced by its value; unknown fields stay as written.
std::string FillFields(std::string text,
                       std::initializer_list<std::pair<const char*, std::string>> fields);

}  // namespace quillon
