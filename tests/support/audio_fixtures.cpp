#include "support/audio_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

#include "platform/ui_thread.h"
#include "support/peers.h"

namespace tonvale::test {

std::string MusicSource(double Seconds) {
  return "-f lavfi -i \"aevalsrc=exprs='0.25*sin(2*PI*220*t)+0.2*sin(2*PI*277.2*t+0.3*sin(2*PI*5*t))"
         "+0.15*sin(2*PI*329.6*t)+0.1*sin(2*PI*1760*t)*sin(2*PI*0.5*t)+0.02*(random(0)-0.5)'"
         ":s=48000:d=" +
         std::to_string(Seconds) + "\"";
}

void MakeAudio(const std::string& Path, double Seconds, int Rate, int Channels, const std::string& Codec) {
  Shell("ffmpeg -v error -y " + MusicSource(Seconds) + " -ar " + std::to_string(Rate) + " -ac " +
        std::to_string(Channels) + " " + Codec + " " + Quote(Path));
}

std::vector<uint8_t> FfmpegDecodeBytes(const std::string& Path, const std::string& Format) {
  std::string out = Shell("ffmpeg -v error -i " + Quote(Path) + " -f " + Format + " -");
  return {out.begin(), out.end()};
}

std::vector<int16_t> FfmpegDecode(const std::string& Path, const std::string& Extra) {
  std::string out = Shell("ffmpeg -v error " + Extra + " -i " + Quote(Path) + " -f s16le -");
  return AsSamples({out.begin(), out.end()});
}

std::vector<int16_t> SoxDecode(const std::string& Path) {
  std::string out = Shell("sox " + Quote(Path) + " -t raw -e signed -b 16 -L -");
  return AsSamples({out.begin(), out.end()});
}

std::map<std::string, std::string> ProbeFields(const std::string& Path) {
  std::string out = Shell(
      "ffprobe -v error -select_streams a:0 -show_entries "
      "stream=codec_name,sample_rate,channels,bit_rate:format=duration,format_name "
      "-of default=nw=1 " +
      Quote(Path));
  std::map<std::string, std::string> m;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos && !m.count(line.substr(0, eq))) m[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return m;
}

std::vector<uint8_t> ReadAll(TAuInput& Input, uint32_t Request) {
  std::vector<uint8_t> out;
  Input.BeginRead();
  for (;;) {
    uint8_t* buf = nullptr;
    uint32_t n = Request;
    Input.GetData(buf, n);
    if (n == 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  Input.EndRead();
  return out;
}

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& Bytes) {
  std::vector<int16_t> s(Bytes.size() / 2);
  std::memcpy(s.data(), Bytes.data(), s.size() * 2);
  return s;
}

bool RunToEnd(TAuOutput& Output) {
  bool done = false;
  Output.SetDoneDelay(0);
  Output.SetOnDone([&](TAuComponent*) { done = true; });
  Output.Run();
  bool ok = ui_thread::ProcessUntil([&] { return done; }, std::chrono::seconds(120));
  Output.SetOnDone(nullptr);
  return ok;
}

double SnrDb(const std::vector<int16_t>& Reference, const std::vector<int16_t>& Test) {
  const size_t n = std::min(Reference.size(), Test.size());
  double signal = 0, noise = 0;
  for (size_t i = 0; i < n; ++i) {
    signal += double(Reference[i]) * Reference[i];
    double d = double(Reference[i]) - Test[i];
    noise += d * d;
  }
  if (noise == 0) return 200;
  return 10 * std::log10(signal / noise);
}

double Correlation(const std::vector<int16_t>& A, const std::vector<int16_t>& B) {
  const size_t n = std::min(A.size(), B.size());
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < n; ++i) {
    ab += double(A[i]) * B[i];
    aa += double(A[i]) * A[i];
    bb += double(B[i]) * B[i];
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

int MaxAbsDiff(const std::vector<int16_t>& A, const std::vector<int16_t>& B) {
  const size_t n = std::min(A.size(), B.size());
  int m = 0;
  for (size_t i = 0; i < n; ++i) m = std::max(m, std::abs(int(A[i]) - int(B[i])));
  return m;
}

}  // namespace tonvale::test
