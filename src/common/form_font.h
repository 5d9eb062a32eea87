// The font of the Qt forms. Header-only, so the Qt-free libraries of common/ stay free of Qt.
#pragma once

#include <QFont>

// Liberation Sans stands in for "MS Sans Serif" (within a few percent of its widths), sized in
// pixels to the designed character heights; uic can only write point sizes.
inline QFont FormFont(int pixel_height, bool bold) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(pixel_height);
  font.setBold(bold);
  return font;
}
