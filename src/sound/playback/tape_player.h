// The tape deck: plays the project's tape signal through an AudioOutput with a
// cassette player's controls. The signal is made on demand, a few milliseconds
// ahead of the sound card, by the same generator as the WAV export, so a tape
// of any length plays in constant memory. Everything runs on the thread that
// owns the deck, which calls Poll every kPollInterval ms while the deck is not
// stopped (a window's timer, a terminal player's loop, a test by hand); the
// output pulls the samples on that same thread. Plain C++, no event loop of
// its own: what happens goes to one listener.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "project/tape_project.h"
#include "sound/export/signal_stream.h"
#include "sound/playback/audio_output.h"

namespace reelo {

enum class DeckState { Stopped, Playing, Paused };

// "mm:ss" for a number of samples at the rate; minutes go past 59 ("75:03").
std::string ClockText(std::uint64_t samples, int sampleRate);

// The block that holds the sample at position, given where each block starts
// and, last, the tape's length (the last block for the end and beyond).
int BlockAtPosition(const std::vector<std::uint64_t>& starts, std::uint64_t position);

class SignalSource;
class TapePlayer;

// What the deck is doing, for a status bar or a terminal: "Блок 2 из 5
// 00:12 / 01:30", with "Пауза" after it while paused; empty when stopped.
std::string DeckStatusText(const TapePlayer& deck);

// Who hears what the deck does. The calls come from inside the deck's own
// calls (Poll among them); a listener may call the deck back.
class TapePlayerListener {
 public:
  virtual ~TapePlayerListener() = default;
  // State, block or position changed.
  virtual void PlayerChanged() = 0;
  // Playback stopped because the output failed; the reason is in Russian.
  virtual void PlayerFailed(const std::string& reason) = 0;
  // The last block has been played to its end.
  virtual void PlayerFinished() = 0;
};

class TapePlayer {
 public:
  // How often the deck wants Poll while it is not stopped (ms).
  static constexpr int kPollInterval = 100;

  // The project is read while the deck plays; it must outlive the deck, and
  // whoever changes its blocks tells the deck (TapeChanged). So must the output.
  TapePlayer(const TapeProject& project, AudioOutput& output);
  ~TapePlayer();
  TapePlayer(const TapePlayer&) = delete;
  TapePlayer& operator=(const TapePlayer&) = delete;

  // The one listener (nullptr: none).
  void setListener(TapePlayerListener* listener) { listener_ = listener; }

  // Take effect at the next Play.
  void setOptions(const SignalOptions& options);
  const SignalOptions& options() const { return options_; }
  // The deck stops at the end of every block; Continue plays the next.
  void setPauseAfterBlock(bool on);
  bool pauseAfterBlock() const { return pauseAfterBlock_; }

  // Plays from the start of block first (0-based). Returns false when there
  // is nothing to play or the output refused (Failed was emitted).
  bool Play(int first);
  void Pause();     // Playing -> Paused; the sound holds where it is
  void Continue();  // Paused -> Playing
  void Stop();
  void NextBlock();      // to the start of the next block (not from the last)
  void PreviousBlock();  // to the start of the block before (block 0: its start)
  // The blocks changed: the deck stops at once, without one more sample, since
  // the blocks it was reading may be gone.
  void TapeChanged();

  DeckState state() const { return state_; }
  // The block being heard, or waiting to be played when paused; -1 stopped.
  int block() const;
  int blockCount() const;
  // Samples from the start of the tape to what is heard now, and the whole tape.
  std::uint64_t position() const;
  std::uint64_t length() const;
  // Samples per second of the tape being played (of the options when stopped).
  int sampleRate() const { return stream_ ? stream_->options().sampleRate : options_.sampleRate; }
  // True while paused at the end of a block by "pause after each block".
  bool heldAfterBlock() const { return state_ == DeckState::Paused && pause_ == PauseKind::Held; }

  // Moves the position on from the output and finishes what ended (a block
  // under "pause after each block", the tape). Called every kPollInterval ms
  // while the deck is not stopped; at any other time it does no harm.
  void Poll();
  // The output stopped by itself (its source hears of it and passes it on).
  void Fail(const std::string& reason);

 private:
  friend class SignalSource;

  bool StartSession();
  void EndSession();
  void Jump(int block);
  void Changed();
  std::uint64_t HeardPosition() const;

  const TapeProject& project_;
  AudioOutput& output_;
  SignalOptions options_;
  bool pauseAfterBlock_ = false;

  DeckState state_ = DeckState::Stopped;
  std::unique_ptr<TapeSignalStream> stream_;
  std::unique_ptr<SignalSource> source_;
  std::vector<std::uint64_t> starts_;  // of the tape being played
  bool sessionOpen_ = false;           // the output is pulling from source_
  std::uint64_t sessionStart_ = 0;     // tape position of the session's first sample
  std::uint64_t pausedPosition_ = 0;   // the position shown while paused
  // How the deck is paused: the output suspended (Continue resumes it), the
  // output stopped at a block's start (Continue starts it there), or the
  // source holding at a block's end by the option while the output plays what
  // it has (Continue lets the source go on).
  enum class PauseKind { Suspended, Cued, Held } pause_ = PauseKind::Cued;
  TapePlayerListener* listener_ = nullptr;
};

// The samples of the stream as the output reads them. Under "pause after each
// block" it gives nothing past the end of the block it is in until released;
// it gives nothing at all once the deck has stopped.
class SignalSource : public PlaybackSource {
 public:
  explicit SignalSource(TapePlayer& deck);

  std::size_t Read(std::uint8_t* data, std::size_t maxBytes) override;
  void OutputFailed(const std::string& reason) override;
  // Tape position just after the last sample handed out.
  std::uint64_t written() const { return written_; }
  // At the end of a block, waiting for Release (pause after each block).
  bool holding() const;
  int holdAfter() const;
  // Goes on into the next block.
  void Release();

 private:
  TapePlayer& deck_;
  int blockAllowed_ = 0;  // the last block it may read from under the option
  std::uint64_t written_ = 0;

  friend class TapePlayer;
};

}  // namespace reelo
