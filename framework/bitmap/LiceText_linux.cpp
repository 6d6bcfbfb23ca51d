// Text with FreeType: faces found through fontconfig, glyphs rendered as 8-bit
// coverage and blended into the bitmap with the text colour.
#include "LiceText.h"

#include "LiceBlend.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Face {
  std::string family;
  int style;
  FT_Face face; // null when nothing could be loaded for this family and style
  int cellSize; // size the face is set to; 0 = not set yet
  int ascent;   // pixels above the baseline at cellSize
  int lineHeight;
};

class TextEngine {
public:
  std::mutex mMutex;

  ~TextEngine()
  {
    for (Face& f : mFaces)
      if (f.face) FT_Done_Face(f.face);
    if (mLibrary) FT_Done_FreeType(mLibrary);
    if (mConfig) FcConfigDestroy(mConfig);
  }

  // The face for a format, set to the format's size; null when none exists.
  Face* Get(const LICE_TextFormat& format)
  {
    if (format.size <= 0 || format.size > 4096) return nullptr;
    const std::string family = (format.face && *format.face) ? format.face : "Arial";
    const int style = format.style == LICE_TEXT_BOLD || format.style == LICE_TEXT_ITALIC ? format.style : 0;
    Face* found = nullptr;
    for (Face& f : mFaces)
      if (f.family == family && f.style == style) found = &f;
    if (!found) {
      mFaces.push_back(Face{family, style, Open(family, style), 0, 0, 0});
      found = &mFaces.back();
    }
    if (!found->face) return nullptr;
    if (found->cellSize != format.size && !SetSize(found, format.size)) return nullptr;
    return found;
  }

private:
  bool Init()
  {
    if (mInitDone) return mLibrary && mConfig;
    mInitDone = true;
    if (FT_Init_FreeType(&mLibrary) != 0) mLibrary = nullptr;
    // A configuration of our own: the host may use fontconfig too.
    mConfig = FcInitLoadConfigAndFonts();
    return mLibrary && mConfig;
  }

  FT_Face Open(const std::string& family, int style)
  {
    if (!Init()) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return nullptr;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, style == LICE_TEXT_BOLD ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, style == LICE_TEXT_ITALIC ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(mConfig, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(mConfig, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return nullptr;
    FT_Face face = nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      if (FT_New_Face(mLibrary, reinterpret_cast<const char*>(file), index, &face) != 0) face = nullptr;
    }
    FcPatternDestroy(match);
    if (face && !FT_IS_SCALABLE(face)) {
      FT_Done_Face(face);
      face = nullptr;
    }
    return face;
  }

  // The cell height (ascent + descent from the OS/2 table, as the native text
  // call measures a font's height) becomes `size` pixels.
  static bool SetSize(Face* f, int size)
  {
    FT_Face face = f->face;
    double ascentUnits = face->ascender;
    double descentUnits = -face->descender;
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
      ascentUnits = os2->usWinAscent;
      descentUnits = os2->usWinDescent;
    }
    const double cellUnits = ascentUnits + descentUnits;
    if (!(cellUnits > 0.0) || face->units_per_EM == 0) return false;
    const double em = size * (double)face->units_per_EM / cellUnits;
    if (FT_Set_Char_Size(face, 0, (FT_F26Dot6)std::lround(em * 64.0), 72, 72) != 0) return false;
    f->cellSize = size;
    f->ascent = (int)std::lround(ascentUnits * em / face->units_per_EM);
    f->lineHeight = size;
    return true;
  }

  FT_Library mLibrary = nullptr;
  FcConfig* mConfig = nullptr;
  bool mInitDone = false;
  std::vector<Face> mFaces;
};

TextEngine& Engine()
{
  static TextEngine engine;
  return engine;
}

// Next code point of a UTF-8 string; malformed sequences give U+FFFD and
// consume one byte.
uint32_t NextCodePoint(const unsigned char*& p, const unsigned char* end)
{
  const unsigned char c = *p++;
  if (c < 0x80) return c;
  int extra;
  uint32_t cp;
  if ((c & 0xE0) == 0xC0) {
    extra = 1;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
    cp = c & 0x07;
  } else {
    return 0xFFFD;
  }
  if (end - p < extra) return 0xFFFD;
  for (int i = 0; i < extra; ++i)
    if ((p[i] & 0xC0) != 0x80) return 0xFFFD;
  for (int i = 0; i < extra; ++i) cp = (cp << 6) | (p[i] & 0x3F);
  static const uint32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  p += extra;
  return cp;
}

// Splits the text into lines at '\n' (a '\r' before it is dropped).
std::vector<std::string> Lines(const char* text)
{
  std::vector<std::string> lines(1);
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
      lines.emplace_back();
    } else {
      lines.back().push_back(*p);
    }
  }
  return lines;
}

// Walks the glyphs of one line from pen position x; with a bitmap, renders and
// blends them with the baseline at `baseline`. Returns the advance width.
int RunLine(const Face& f, const std::string& line, LICE_IBitmap* dest, int x, int baseline, LICE_pixel color)
{
  FT_Face face = f.face;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(line.data());
  const unsigned char* end = p + line.size();
  int pen = 0;
  while (p < end) {
    const uint32_t cp = NextCodePoint(p, end);
    const FT_UInt glyph = FT_Get_Char_Index(face, cp);
    if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0) continue;
    if (dest && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
      const FT_Bitmap& g = face->glyph->bitmap;
      if (g.pixel_mode == FT_PIXEL_MODE_GRAY) {
        const int gx = x + pen + face->glyph->bitmap_left;
        const int gy = baseline - face->glyph->bitmap_top;
        const int w = dest->GetWidth();
        const int h = dest->GetHeight();
        for (unsigned row = 0; row < g.rows; ++row) {
          const int y = gy + (int)row;
          if (y < 0 || y >= h) continue;
          LICE_pixel* d = dest->GetBits() + (size_t)y * (size_t)dest->GetRowSpan();
          const unsigned char* src = g.buffer + (ptrdiff_t)row * g.pitch;
          for (unsigned col = 0; col < g.width; ++col) {
            const int px = gx + (int)col;
            const int cov = src[col];
            if (px < 0 || px >= w || cov == 0) continue;
            lice::BlendPixel<LICE_BLIT_MODE_COPY, true>(d + px, color, cov + (cov >> 7));
          }
        }
      }
    }
    pen += (int)((face->glyph->advance.x + 32) >> 6);
  }
  return pen;
}

} // namespace

bool LICE_DrawText(LICE_IBitmap* dest, const char* text, int l, int t, int r, int /*b*/, const LICE_TextFormat& format)
{
  if (!dest || !text || !*text) return false;
  TextEngine& engine = Engine();
  std::lock_guard<std::mutex> lock(engine.mMutex);
  const Face* f = engine.Get(format);
  if (!f) return false;
  int top = t;
  for (const std::string& line : Lines(text)) {
    int x = l;
    if (format.align == LICE_TEXT_ALIGN_CENTER || format.align == LICE_TEXT_ALIGN_RIGHT) {
      const int width = RunLine(*f, line, nullptr, 0, 0, 0);
      x = format.align == LICE_TEXT_ALIGN_RIGHT ? r - width : l + (r - l - width) / 2;
    }
    RunLine(*f, line, dest, x, top + f->ascent, format.color);
    top += f->lineHeight;
  }
  return true;
}

bool LICE_MeasureText(const char* text, const LICE_TextFormat& format, int* width, int* height)
{
  if (width) *width = 0;
  if (height) *height = 0;
  TextEngine& engine = Engine();
  std::lock_guard<std::mutex> lock(engine.mMutex);
  const Face* f = engine.Get(format);
  if (!f) return false;
  if (!text) text = "";
  int widest = 0;
  int lines = 0;
  for (const std::string& line : Lines(text)) {
    const int w = RunLine(*f, line, nullptr, 0, 0, 0);
    if (w > widest) widest = w;
    ++lines;
  }
  if (width) *width = widest;
  if (height) *height = lines * f->lineHeight;
  return true;
}
