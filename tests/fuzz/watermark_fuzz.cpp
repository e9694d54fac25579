// Any watermark text or image path: the filter description built from it must
// parse, and the filter must receive exactly the text (or path) the user
// typed, shown as typed.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include "FuzzFile.h"
#include "platform/UserPaths.h"
#include "recorder/WatermarkText.h"

namespace {

using kal::fuzz::Fail;

// Parses `description` and returns the string option `name` of its first
// filter, or nothing when the description does not parse.
bool ParseAndGet(const std::string& description, const char* name, std::string& value,
                 std::int64_t* expansion = nullptr) {
  AVFilterGraph* graph = avfilter_graph_alloc();
  AVFilterInOut* inputs = nullptr;
  AVFilterInOut* outputs = nullptr;
  bool ok = avfilter_graph_parse2(graph, description.c_str(), &inputs, &outputs) >= 0 &&
            graph->nb_filters > 0;
  if (ok) {
    std::uint8_t* v = nullptr;
    ok = av_opt_get(graph->filters[0], name, AV_OPT_SEARCH_CHILDREN, &v) >= 0 && v;
    if (ok) value = reinterpret_cast<const char*>(v);
    av_free(v);
    if (ok && expansion)
      ok = av_opt_get_int(graph->filters[0], "expansion", AV_OPT_SEARCH_CHILDREN, expansion) >= 0;
  }
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  avfilter_graph_free(&graph);
  return ok;
}

std::string WithoutNul(std::string s) {
  std::erase(s, '\0');
  return s;
}

void CheckText(const std::string& text) {
  static const std::string font = platform::ExecutableFolder() + "/microsoftYaHei.ttf";
  // Shaping (on where FFmpeg has fribidi) puts right-to-left text into visual
  // order and replaces broken UTF-8 inside drawtext; it is switched off here
  // so the text can be compared with what was typed.
  const std::string description =
      kal::TextWatermarkDescription(font, text, 20, 20, 32, "white") + ":text_shaping=0";
  const std::string typed = WithoutNul(text);
  std::string got;
  std::int64_t expansion = -1;
  if (!ParseAndGet(description, "text", got, &expansion)) {
    if (!typed.empty()) Fail("a text watermark description does not parse");
    return;
  }
  if (got != typed) Fail("drawtext receives other text than typed", typed, got);
  // With expansion on, drawtext itself reads "%" and "\" as commands.
  if (expansion != 0 && got.find_first_of("%\\") != std::string::npos)
    Fail("drawtext would expand the typed text");
}

void CheckPath(const std::string& path) {
  std::string expected = WithoutNul(path);
  for (char& c : expected)
    if (c == '\\') c = '/';
  // "metadata" takes a plain string option at the same two parser levels as
  // "movie", without opening anything.
  const std::string description =
      "metadata=mode=add:key=k:value=" + kal::EscapeFilterPath(path);
  std::string got;
  if (!ParseAndGet(description, "value", got)) {
    if (!expected.empty()) Fail("an escaped path does not parse");
    return;
  }
  if (got != expected) Fail("the filter receives another path", expected, got);
  const std::string image = kal::ImageWatermarkDescription(path, {3, 4});
  if (image.find(kal::EscapeFilterPath(path)) == std::string::npos ||
      image.find("overlay = 3:4[out]") == std::string::npos)
    Fail("the image description lost part of the path");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  av_log_set_level(AV_LOG_QUIET);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool path = in.ConsumeBool();
  const std::string s = in.ConsumeRemainingBytesAsString();
  if (path)
    CheckPath(s);
  else
    CheckText(s);
  return 0;
}
