#include "recorder/Recovery.h"

#include <filesystem>

#include <glog/logging.h>

#include "recorder/FfmpegPtr.h"

namespace kal {

bool RemuxToNormalFile(const std::string& part, const std::string& target) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, part.c_str(), nullptr, nullptr) < 0) return false;
  InputContextPtr in(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) return false;
  AVFormatContext* out = nullptr;
  avformat_alloc_output_context2(&out, nullptr, nullptr, target.c_str());
  if (!out) return false;
  OutputContextPtr output(out);
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    AVStream* st = avformat_new_stream(out, nullptr);
    if (!st || avcodec_parameters_copy(st->codecpar, raw->streams[i]->codecpar) < 0) return false;
    st->codecpar->codec_tag = 0;
    st->time_base = raw->streams[i]->time_base;
  }
  if (avio_open(&out->pb, target.c_str(), AVIO_FLAG_WRITE) < 0) return false;
  if (avformat_write_header(out, nullptr) < 0) return false;
  PacketPtr packet = MakePacket();
  std::int64_t packets = 0;
  // A cut-off file ends in a broken packet or a read error: keep what came before.
  while (av_read_frame(raw, packet.get()) >= 0) {
    const AVStream* from = raw->streams[packet->stream_index];
    av_packet_rescale_ts(packet.get(), from->time_base, out->streams[packet->stream_index]->time_base);
    packet->pos = -1;
    if (av_interleaved_write_frame(out, packet.get()) >= 0) ++packets;
    av_packet_unref(packet.get());
  }
  return av_write_trailer(out) >= 0 && packets > 0;
}

std::vector<std::string> RecoverUnfinishedRecordings(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> recovered;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const fs::path part = e.path();
    if (!e.is_regular_file(ec) || part.extension() != kPartSuffix) continue;
    fs::path target = part.parent_path() / part.stem();  // name without ".part"
    if (fs::exists(target, ec)) {
      target = part.parent_path() /
               (target.stem().string() + "-recovered" + target.extension().string());
    }
    if (RemuxToNormalFile(part.string(), target.string())) {
      fs::remove(part, ec);
      recovered.push_back(target.string());
      LOG(ERROR) << "recovered an unfinished recording into " << target.string();
    } else {
      fs::remove(target, ec);
      LOG(ERROR) << "could not recover " << part.string();
    }
  }
  return recovered;
}

}  // namespace kal
