#include "recorder/Recovery.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include <glog/logging.h>

#include "platform/FileLock.h"
#include "media/FfmpegPtr.h"

namespace kal {
namespace fs = std::filesystem;

namespace {

// The demuxer that reads each of our containers back.
const char* DemuxerFor(const std::string& ext) {
  if (ext == ".mp4" || ext == ".mov") return "mov,mp4,m4a,3gp,3g2,mj2";
  if (ext == ".mkv") return "matroska,webm";
  if (ext == ".flv") return "flv";
  if (ext == ".avi") return "avi";
  if (ext == ".wmv") return "asf";
  return nullptr;
}

// Creates `path` only when nothing has that name (O_EXCL), so a file that
// appears meanwhile is never overwritten.
bool CreateNew(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// A free name for the copy of `part`, created empty; empty when none.
fs::path ClaimTarget(const fs::path& part) {
  const fs::path plain = part.parent_path() / part.stem();  // name without ".part"
  if (CreateNew(plain)) return plain;
  for (int n = 1; n < 1000; ++n) {
    const std::string suffix = n == 1 ? "-recovered" : "-recovered-" + std::to_string(n);
    const fs::path next =
        part.parent_path() / (plain.stem().string() + suffix + plain.extension().string());
    if (CreateNew(next)) return next;
  }
  return {};
}

}  // namespace

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

bool IsOurUnfinishedRecording(const std::string& part) {
  const fs::path p(part);
  if (p.extension() != kPartSuffix) return false;
  const char* demuxer = DemuxerFor(p.stem().extension().string());
  if (!demuxer) return false;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, part.c_str(), nullptr, nullptr) < 0) return false;
  InputContextPtr in(raw);
  if (std::strcmp(raw->iformat->name, demuxer) != 0) return false;
  // FLV makes its streams only when it reads their first packets.
  if (avformat_find_stream_info(raw, nullptr) < 0) return false;
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    if (raw->streams[i]->codecpar->codec_id == AV_CODEC_ID_H264) return true;
  }
  return false;
}

std::vector<std::string> RecoverUnfinishedRecordings(const std::string& folder) {
  std::vector<std::string> recovered;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const fs::path part = e.path();
    if (!e.is_regular_file(ec) || part.extension() != kPartSuffix) continue;
    // Held for the whole copy: a recording that starts meanwhile with this
    // name cannot take the file from under us, nor we from it.
    platform::FileLock lock;
    if (!lock.TryLock(part.string(), platform::FileLock::Open::kExisting)) {
      LOG(INFO) << "left alone (being written): " << part.string();
      continue;
    }
    if (!IsOurUnfinishedRecording(part.string())) {
      LOG(INFO) << "left alone (not one of our recordings): " << part.string();
      continue;
    }
    const fs::path target = ClaimTarget(part);
    if (target.empty()) {
      LOG(ERROR) << "no free name to recover " << part.string();
      continue;
    }
    if (RemuxToNormalFile(part.string(), target.string())) {
      fs::remove(part, ec);
      recovered.push_back(target.string());
      LOG(ERROR) << "recovered an unfinished recording into " << target.string();
    } else {
      fs::remove(target, ec);  // the empty or partial copy made above
      LOG(ERROR) << "could not recover " << part.string();
    }
  }
  return recovered;
}

}  // namespace kal
