// tools/assetgen/icon.h — the program's icon, made from the demo's own pixel art: Blip, the
// mascot of the logo and the badge (sources/pictures/creatures.txt), at the sizes Windows
// asks an icon for. The Windows build links it into pixeldemo.exe (platform/windows/).
//
// Offers: kIconSizes, iconPicture, encodeIco, generateIcon.
// Needs:  pixelart.h (the grid file), libpng (the largest size is stored as PNG).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "assets/image.h"
#include "tools/assetgen/pixelart.h"

// 16 and 32 for lists and title bars, 48 for the desktop, 256 for large views.
constexpr int kIconSizes[] = {16, 32, 48, 256};

// The cells on a transparent square `size` pixels wide: enlarged by the largest whole factor
// that fits (every cell a square of whole pixels) and centred. Free with freeImage.
Image* iconPicture(const PoseCells& cells, int size);

// An .ico file of square pictures: those up to 48 pixels as 32-bit bitmaps with their mask
// (what every Windows reads), larger ones as PNG (Windows Vista on).
std::vector<uint8_t> encodeIco(const std::vector<const Image*>& pictures);

// Writes the icon of every size in kIconSizes to `path`; ends the tool with a message when
// the sprite is missing or the file cannot be written.
void generateIcon(const std::string& sourceDir, const std::string& path);
