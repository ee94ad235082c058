// The HTML page of a protected image: the page template with its three placeholders
// filled in, and the block of <param> lines that tells the browser viewer what to show.
//
// Byte form. The template is held as the raw bytes of "template.html", only its line
// ends made CR LF, so whatever encoding it uses passes through unchanged. Everything the
// builder inserts (numbers, option texts, file names) is UTF-8 in the settings and the
// items and goes into the page as ISO 8859-1 bytes: a character up to U+00FF becomes the
// one byte of the same code ("é" is 0xE9), a character above U+00FF becomes a numeric
// character reference ("€" is "&#x20AC;"), so no text is lost. A byte that is not part
// of valid UTF-8 (text stored by some other program in Latin-1, say) is taken as the
// Latin-1 character of that byte and written as that byte. The shipped template
// declares the matching encoding.
//
// Text values are HTML-escaped (& " < > as &amp; &quot; &lt; &gt;; CR and LF as &#13;
// and &#10;), so the viewer gets back exactly the text the user typed and a quote in a
// message cannot break the page.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/image_item.h"
#include "core/product_files.h"
#include "settings/settings.h"

namespace vg {

// The template's bytes with every line ended by CR LF: a line ends at LF, and a CR
// directly before that LF belongs to the line end; any other CR stays in the line. A
// last line without a line end gets one. Empty input stays empty.
std::string NormalizePageTemplate(std::string_view bytes);

// Reads the template file as NormalizePageTemplate describes. False (and an empty
// template) when the file cannot be opened or read completely: the front ends refuse
// to convert without a template rather than write empty pages.
bool TryLoadPageTemplate(const std::filesystem::path& template_file, std::string& page_template);

// UTF-8 text in the page's byte form (see above), without HTML escaping.
std::string EncodePageText(std::string_view utf8);
// UTF-8 text in the page's byte form, HTML-escaped for an attribute value.
std::string EncodeAttributeValue(std::string_view utf8);

// One parameter line, CR LF included:
//   "\t<param name=\"NAME\" value=\"VALUE\" />\r\n"
// ParamText escapes the value as above; ParamNumber writes signed decimal; ParamColor
// turns a 0x00BBGGRR colour into six upper-case hex digits RRGGBB (top byte ignored).
std::string ParamText(std::string_view name, std::string_view value);
std::string ParamNumber(std::string_view name, std::int32_t value);
std::string ParamColor(std::string_view name, std::uint32_t colour);

// The parameter name of frame i: "Frame000" to "Frame999", then "Frame1000" and on.
std::string FrameParamName(std::size_t index);

// The whole parameter block: Style, the style's own lines (Link and TargetFrame;
// Message; none; FrameDelay), Loading, Label, Watermark (only when the text is not
// empty), TextColor, BorderColor (from BackColor), Border, FrameCount, then one Frame
// line per frame naming its protected file. A style or Frame outside its range is
// written as its default (Targeted link, "_self").
// Entries of `frames` must not be null.
std::string BuildParamBlock(const ConverterSettings& settings,
                            const std::vector<const CImageItem*>& frames);

// The page text: the template with every "%WIDTH%" and "%HEIGHT%" replaced by the first
// frame's size (0 for an empty list), then every "%PARAMS%" by the parameter block.
// Each replacement scans left to right and never rescans what it inserted, so a
// placeholder typed into an option text stays as typed.
std::string BuildPage(const std::string& page_template, const ConverterSettings& settings,
                      const std::vector<const CImageItem*>& frames);

// Writes BuildPage to `page_path` through a temporary file renamed over the target, so
// a failure never leaves a half page and an existing page stays as it was. False for an
// empty frame list (nothing is created or touched) and when the file cannot be written
// completely.
bool WritePage(const std::string& page_template, const ConverterSettings& settings,
               const std::filesystem::path& page_path,
               const std::vector<const CImageItem*>& frames);

}  // namespace vg
