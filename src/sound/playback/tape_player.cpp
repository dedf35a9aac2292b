#include "sound/playback/tape_player.h"

#include <algorithm>
#include <cstdio>

namespace reelo {
namespace {

constexpr int kSecondsPerMinute = 60;
constexpr const char* kPausedText = "Пауза";
constexpr const char* kGap = "   ";

}  // namespace

std::string ClockText(std::uint64_t samples, int sampleRate) {
  const std::uint64_t seconds = sampleRate > 0 ? samples / static_cast<std::uint64_t>(sampleRate) : 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02llu:%02llu", static_cast<unsigned long long>(seconds / kSecondsPerMinute),
                static_cast<unsigned long long>(seconds % kSecondsPerMinute));
  return text;
}

int BlockAtPosition(const std::vector<std::uint64_t>& starts, std::uint64_t position) {
  if (starts.size() < 2) return 0;
  const auto after = std::upper_bound(starts.begin(), starts.end() - 1, position);
  const int block = static_cast<int>(after - starts.begin()) - 1;
  return std::clamp(block, 0, static_cast<int>(starts.size()) - 2);
}

std::string DeckStatusText(const TapePlayer& deck) {
  if (deck.state() == DeckState::Stopped) return {};
  std::string text = "Блок" + NumberText(deck.block() + 1) + " из" + NumberText(deck.blockCount()) + kGap;
  text += ClockText(deck.position(), deck.sampleRate()) + " / " + ClockText(deck.length(), deck.sampleRate());
  if (deck.state() == DeckState::Paused) text += std::string(kGap) + kPausedText;
  return text;
}

// --- SignalSource ---

SignalSource::SignalSource(TapePlayer& deck) : deck_(deck) {}

// The last block the source may read from before it holds: the block allowed
// under "pause after each block", otherwise the next block that stops the tape.
int SignalSource::holdAfter() const {
  const TapeSignalStream* stream = deck_.stream_.get();
  if (deck_.pauseAfterBlock_ || !stream) return blockAllowed_;
  return stream->nextStop(blockAllowed_);
}

bool SignalSource::holding() const {
  const TapeSignalStream* stream = deck_.stream_.get();
  return stream && !stream->done() && stream->block() > holdAfter();
}

// An output that ran dry asks again by itself (it pulls on a timer).
void SignalSource::Release() {
  if (deck_.stream_) blockAllowed_ = deck_.stream_->block();
}

std::size_t SignalSource::Read(std::uint8_t* data, std::size_t maxBytes) {
  TapeSignalStream* stream = deck_.stream_.get();
  if (!stream) return 0;
  const int bytesPerSample = stream->bytesPerSample();
  std::uint8_t* out = data;
  const std::size_t wanted = maxBytes / static_cast<std::size_t>(bytesPerSample);
  std::size_t done = 0;
  while (done < wanted && !holding()) {
    const std::size_t n = stream->Read(out + done * static_cast<std::size_t>(bytesPerSample), wanted - done);
    if (n == 0) break;
    done += n;
  }
  written_ = stream->position();
  return done * static_cast<std::size_t>(bytesPerSample);
}

void SignalSource::OutputFailed(const std::string& reason) { deck_.Fail(reason); }

// --- TapePlayer ---

TapePlayer::TapePlayer(const TapeProject& project, AudioOutput& output) : project_(project), output_(output) {}

TapePlayer::~TapePlayer() { EndSession(); }

void TapePlayer::Changed() {
  if (listener_) listener_->PlayerChanged();
}

void TapePlayer::setOptions(const SignalOptions& options) {
  if (IsValid(options)) options_ = options;
}

void TapePlayer::setPauseAfterBlock(bool on) {
  if (on == pauseAfterBlock_) return;
  pauseAfterBlock_ = on;
  if (!source_ || !stream_) return;
  if (on) {
    // Hold after the block whose samples are being handed out now.
    const std::uint64_t last = source_->written_ > 0 ? source_->written_ - 1 : 0;
    source_->blockAllowed_ = BlockAtPosition(starts_, last);
  } else if (state_ == DeckState::Playing) {
    source_->Release();
  }
}

int TapePlayer::blockCount() const { return static_cast<int>(starts_.size()) - 1; }

std::uint64_t TapePlayer::length() const { return starts_.empty() ? 0 : starts_.back(); }

std::uint64_t TapePlayer::HeardPosition() const {
  if (!sessionOpen_ || !source_) return pausedPosition_;
  return std::min(sessionStart_ + output_.PlayedSamples(), source_->written());
}

std::uint64_t TapePlayer::position() const {
  switch (state_) {
    case DeckState::Stopped:
      return 0;
    case DeckState::Paused:
      return pausedPosition_;
    case DeckState::Playing:
      break;
  }
  return HeardPosition();
}

int TapePlayer::block() const {
  if (state_ == DeckState::Stopped) return -1;
  return BlockAtPosition(starts_, position());
}

bool TapePlayer::Play(int first) {
  Stop();
  if (project_.blocks.empty() || !IsValid(options_)) return false;
  first = std::clamp(first, 0, project_.blockCount() - 1);
  stream_ = std::make_unique<TapeSignalStream>(project_, options_, first);
  starts_.resize(project_.blocks.size() + 1);
  for (std::size_t i = 0; i < starts_.size(); ++i) starts_[i] = stream_->blockStart(static_cast<int>(i));
  source_ = std::make_unique<SignalSource>(*this);
  pausedPosition_ = starts_[static_cast<std::size_t>(first)];
  state_ = DeckState::Playing;
  if (!StartSession()) return false;
  Changed();
  return true;
}

bool TapePlayer::StartSession() {
  sessionStart_ = stream_->position();
  source_->written_ = sessionStart_;
  source_->blockAllowed_ = stream_->block();
  const std::string refused = output_.Start(*source_, {options_.sampleRate, options_.bitsPerSample});
  if (!refused.empty()) {
    Fail(refused);
    return false;
  }
  sessionOpen_ = true;
  return true;
}

void TapePlayer::EndSession() {
  if (!sessionOpen_) return;
  sessionOpen_ = false;
  output_.Stop();
}

void TapePlayer::Pause() {
  if (state_ != DeckState::Playing) return;
  pausedPosition_ = HeardPosition();
  output_.Suspend();
  state_ = DeckState::Paused;
  pause_ = PauseKind::Suspended;
  Changed();
}

void TapePlayer::Continue() {
  if (state_ != DeckState::Paused) return;
  state_ = DeckState::Playing;
  switch (pause_) {
    case PauseKind::Suspended:
      output_.Resume();
      break;
    case PauseKind::Held:
      source_->Release();
      break;
    case PauseKind::Cued:
      if (!StartSession()) return;
      break;
  }
  Changed();
}

void TapePlayer::Stop() {
  const bool wasActive = state_ != DeckState::Stopped;
  EndSession();
  state_ = DeckState::Stopped;
  source_.reset();
  stream_.reset();
  if (wasActive) Changed();
}

void TapePlayer::TapeChanged() { Stop(); }

void TapePlayer::NextBlock() {
  if (state_ == DeckState::Stopped) return;
  const int current = block();
  if (current + 1 < blockCount()) Jump(current + 1);
}

void TapePlayer::PreviousBlock() {
  if (state_ == DeckState::Stopped) return;
  Jump(std::max(block() - 1, 0));
}

// Drops what the output holds and goes on from the start of the block:
// playing when it was playing, paused there when it was paused.
void TapePlayer::Jump(int target) {
  EndSession();
  stream_->SeekBlock(target);
  pausedPosition_ = starts_[static_cast<std::size_t>(target)];
  if (state_ == DeckState::Paused) {
    pause_ = PauseKind::Cued;
  } else if (!StartSession()) {
    return;
  }
  Changed();
}

void TapePlayer::Fail(const std::string& reason) {
  sessionOpen_ = false;  // the output has stopped by itself
  output_.Stop();
  Stop();
  if (listener_) listener_->PlayerFailed(reason);
}

void TapePlayer::Poll() {
  if (state_ == DeckState::Stopped) return;
  if (state_ != DeckState::Playing || !sessionOpen_) return;
  const std::uint64_t heard = HeardPosition();
  if (heard >= source_->written()) {
    if (stream_->done()) {
      Stop();
      if (listener_) listener_->PlayerFinished();
      return;
    }
    if (source_->holding()) {
      // The output keeps running dry: the block's sound has all been heard.
      state_ = DeckState::Paused;
      pause_ = PauseKind::Held;
      pausedPosition_ = heard;
    }
  }
  Changed();
}

}  // namespace reelo
