#include "audio/wave/wave_out.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>

#include "audio/core/au_exception.h"
#include "audio/core/au_file_stream.h"
#include "audio/core/au_input.h"

namespace tonvale {
namespace {

constexpr uint32_t kPcmChunk = 16384;
constexpr size_t kWriteBatch = 256 * 1024;

void PutLe16(uint8_t* P, uint32_t V) { PutLe(P, V, 2); }
void PutLe32(uint8_t* P, uint32_t V) { PutLe(P, V, 4); }

}  // namespace

TWaveOut::TWaveOut(TAuComponent* Owner) : TAuFileOut(Owner) {}

TWaveOut::~TWaveOut() { BeforeDestruction(); }

void TWaveOut::SetWavType(TWavType Value) {
  if (!Running() && (Value == wtPCM || Value == wtDVIADPCM)) FWavType = Value;
}

void TWaveOut::SetBlockSize(uint16_t Value) {
  if (!Running() && Value != 0 && Value % 4 == 0) FBlockSize = Value;
}

int TWaveOut::SamplesPerBlock(int Channels) const { return (2 / Channels) * (FBlockSize - 4 * Channels) + 1; }

void TWaveOut::Refuse(const char* Message) {
  Input()->EndRead();
  DataStream.reset();
  throw EAuException(Message);
}

void TWaveOut::WriteLe32At(int64_t Offset, uint32_t Value) { WriteLeAt(*DataStream, Offset, Value, 4); }

void TWaveOut::Prepare() {
  InputEnded = false;
  FramesEncoded = 0;
  HeaderSize = kRiffHeaderSize;
  Pending.clear();
  Pending.reserve(kWriteBatch + kPcmChunk);
  DataStream.reset();
  if (FFileName.empty()) throw EAuException("File name is not assigned.");
  struct stat st {};
  // Appending writes into the existing file itself; anything else makes a
  // new file, once the input and the format are known to be good.
  Appending = FFileMode == foAppend && ::stat(FFileName.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
  if (Appending) DataStream = std::make_unique<TAuFileStream>(FFileName, fmOpenReadWrite | fmShareExclusive);
  TAuInput* in = Input();
  in->BeginRead();

  if (Appending) {
    DataStream->SetPosition(0);
    Existing = ScanWavHeader(*DataStream, true);
    if (Existing.Kind != wtPCM && Existing.Kind != wtDVIADPCM) Refuse("Cannot append data to this .wav file.");
    FWavType = Existing.Kind;
    FBlockSize = Existing.BlockAlign;
  }
  InputChannels = in->Channels();
  if (InputChannels <= 0 || in->SampleRate() <= 0 || in->BitsPerSample() <= 0)
    Refuse("Cannot read the source: it holds no audio of a kind that can be decoded.");
  if (in->FloatSamples()) Refuse("Cannot write floating-point sound into this .wav file.");
  if (FWavType == wtPCM) {
    if (Appending) {
      if (in->SampleRate() != static_cast<int>(Existing.SampleRate) || in->BitsPerSample() != Existing.BitsPerSample ||
          in->Channels() != Existing.Channels)
        Refuse("Cannot append data in different audio format.");
      DataStream->Seek(0, TSeekOrigin::soEnd);
    } else {
      DataStream = CreateOutputFile();
      WritePcmHeader();
    }
    return;
  }
  if (in->BitsPerSample() != 16) Refuse("Cannot encode 8 bit sound into ADPCM.");
  // The block layout holds one or two channels, with room for data, in whole
  // 8-byte groups for stereo, and a sample count the header can state.
  const int ch = InputChannels;
  if ((ch != 1 && ch != 2) || FBlockSize <= 4 * ch || (ch == 2 && (FBlockSize - 8) % 8 != 0) ||
      SamplesPerBlock(ch) > 0xFFFF)
    Refuse("Cannot encode this sound into ADPCM with this block size.");
  if (Appending) {
    if (in->SampleRate() != static_cast<int>(Existing.SampleRate) || ch != Existing.Channels)
      Refuse("Cannot append data in different audio format.");
    DataStream->Seek(0, TSeekOrigin::soEnd);
  } else {
    DataStream = CreateOutputFile();
    WriteImaHeader();
    StepIndex[0] = StepIndex[1] = 0;
  }
  PcmBlock.assign(static_cast<size_t>(SamplesPerBlock(ch)) * ch, 0);
  AdpcmBlock.assign(FBlockSize, 0);
}

void TWaveOut::WritePcmHeader() {
  TAuInput* in = Input();
  const std::vector<uint8_t> h =
      PcmWavHeader(static_cast<uint16_t>(in->Channels()), static_cast<uint32_t>(in->SampleRate()),
                   static_cast<uint16_t>(in->BitsPerSample()), in->Size());
  HeaderSize = static_cast<int64_t>(h.size());
  DataStream->Write(h.data(), HeaderSize);
}

void TWaveOut::CheckRoom(int64_t Bytes) {
  if (HeaderSize == kRf64HeaderSize) return;  // RF64 states any size
  if (DataStream->Size() + Bytes > kRiffFileLimit)
    throw EAuException("Cannot write " + FFileName + ": the file would pass 4 GiB, more than its WAV header can state");
}

void TWaveOut::WriteImaHeader() {
  TAuInput* in = Input();
  const int ch = InputChannels;
  const int spb = SamplesPerBlock(ch);
  const int64_t frames = (in->Size() / (in->BitsPerSample() / 8)) / ch;
  const uint32_t data = static_cast<uint32_t>(std::nearbyint(static_cast<double>(frames) / spb) * FBlockSize);
  uint8_t h[60] = {};
  std::memcpy(h, "RIFF", 4);
  PutLe32(h + 4, data + 52);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  PutLe32(h + 16, 20);
  PutLe16(h + 20, 17);
  PutLe16(h + 22, static_cast<uint32_t>(ch));
  PutLe32(h + 24, static_cast<uint32_t>(in->SampleRate()));
  PutLe32(h + 28, static_cast<uint32_t>(in->SampleRate() / spb) * FBlockSize);
  PutLe16(h + 32, FBlockSize);
  PutLe16(h + 34, 4);
  PutLe16(h + 36, 2);
  PutLe16(h + 38, static_cast<uint32_t>(spb));
  std::memcpy(h + 40, "fact", 4);
  PutLe32(h + 44, 4);
  PutLe32(h + 48, static_cast<uint32_t>(frames));
  std::memcpy(h + 52, "data", 4);
  PutLe32(h + 56, data);
  DataStream->Write(h, 60);
}

bool TWaveOut::OutputChunk(bool Abort) {
  if (Abort || InputEnded) return false;
  TAuInput* in = Input();
  if (FWavType == wtPCM) {
    // A failed read or write fails the run rather than shortening the file
    // unnoticed.
    uint8_t* buffer = nullptr;
    uint32_t n = kPcmChunk;
    in->GetData(buffer, n);
    if (n == 0 || !buffer) return false;
    Pending.insert(Pending.end(), buffer, buffer + n);
    if (Pending.size() >= kWriteBatch) FlushPending();
    return true;
  }
  const int ch = InputChannels;
  std::fill(PcmBlock.begin(), PcmBlock.end(), 0);
  const uint32_t want = static_cast<uint32_t>(PcmBlock.size() * 2);
  bool ended = false;
  const uint32_t got = ReadFull(in, reinterpret_cast<uint8_t*>(PcmBlock.data()), want, ended);
  InputEnded = ended;
  FramesEncoded += got / (2 * ch);
  EncodeImaBlock(PcmBlock.data(), ch, FBlockSize, StepIndex, AdpcmBlock.data());
  CheckRoom(FBlockSize);
  DataStream->Write(AdpcmBlock.data(), FBlockSize);
  NoteAudioWritten();
  return true;
}

void TWaveOut::FlushPending() {
  if (!Pending.empty()) {
    CheckRoom(static_cast<int64_t>(Pending.size()));
    DataStream->Write(Pending.data(), static_cast<int64_t>(Pending.size()));
    NoteAudioWritten();
  }
  Pending.clear();
}

void TWaveOut::CompleteHeader(bool Whole) {
  FlushPending();
  TAuInput* in = Input();
  const int64_t fileSize = DataStream->Size();
  if (FWavType == wtDVIADPCM && !Appending) {
    // A new ADPCM file states what it holds: every block written, and the
    // frames that came in (the padding of the last block is not counted).
    WriteLe32At(56, static_cast<uint32_t>(fileSize - 60));
    WriteLe32At(48, static_cast<uint32_t>(FramesEncoded));
    WriteLe32At(4, static_cast<uint32_t>(fileSize - 8));
  } else if (!Whole || in->Size() < 0 || Appending || Interrupted() || fileSize != in->Size() + HeaderSize) {
    // The header states the data that is there, also when the input
    // delivered less than it announced.
    if (FWavType == wtPCM) {
      if (Appending)
        WriteLe32At(Existing.DataSizeOffset, static_cast<uint32_t>(fileSize - Existing.DataOffset));
      else
        StatePcmSizes(*DataStream, fileSize);
    } else {
      const int64_t d = fileSize - Existing.DataOffset;
      WriteLe32At(Existing.DataSizeOffset, static_cast<uint32_t>(d));
      WriteLe32At(Existing.FactOffset, static_cast<uint32_t>(SamplesPerBlock(Existing.Channels) * (d / FBlockSize)));
    }
    if (FWavType != wtPCM || Appending) WriteLe32At(4, static_cast<uint32_t>(fileSize - 8));
  }
}

void TWaveOut::Finish() {
  CompleteHeader(true);
  DataStream.reset();
  Input()->EndRead();
  SettleOutputFile(!Interrupted());
}

void TWaveOut::AbandonRun() {
  if (!DataStream) return;
  try {
    CompleteHeader(false);
  } catch (...) {
    // What could not be written is lost; the rest stays.
  }
  DataStream.reset();
  if (!Appending) SettleOutputFile(false);
}

}  // namespace tonvale
