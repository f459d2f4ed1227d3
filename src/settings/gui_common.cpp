#include "settings/gui_common.h"

#include "settings/net_records.h"

namespace quillon::settings_gui {

std::optional<int32_t> ParseInt32(const QString& text) {
  auto v = ParseWholeNumber(text.toStdString());
  if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(*v);
}

QString NotAnInteger(const AppContext& ctx, const QString& text) {
  return Say(ctx, "MSG124", QStringLiteral("“%1”不是有效的整数"),
             QStringLiteral("'%1' is not a valid integer value"))
      .arg(text);
}

}  // namespace quillon::settings_gui
