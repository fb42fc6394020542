#pragma once
// The thirteen toolbar images: the icon theme's when it has them, else drawn here.
#include <QIcon>
#include <QString>

namespace ToolbarIcons {
QIcon icon(const QString& key);
// "Bold" … "Align Right": buttons that show a pressed state.
bool isFormatKey(const QString& key);
}  // namespace ToolbarIcons
