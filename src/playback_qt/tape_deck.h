// The tape deck for Qt programs (the main window, reelo-cli-play): the core's
// TapePlayer with a timer that polls it while it plays, and its news as Qt
// signals. Everything else is the player's own.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "sound/playback/tape_player.h"

namespace reelo {

class TapeDeck : public QObject, private TapePlayerListener {
  Q_OBJECT

 public:
  static constexpr int kPollInterval = TapePlayer::kPollInterval;

  // The project and the output must outlive the deck (see TapePlayer).
  TapeDeck(const TapeProject& project, AudioOutput& output, QObject* parent = nullptr);
  ~TapeDeck() override;

  TapePlayer& player() { return player_; }
  const TapePlayer& player() const { return player_; }

  void setOptions(const SignalOptions& options) { player_.setOptions(options); }
  const SignalOptions& options() const { return player_.options(); }
  void setPauseAfterBlock(bool on) { player_.setPauseAfterBlock(on); }
  bool pauseAfterBlock() const { return player_.pauseAfterBlock(); }

  bool Play(int first);
  void Pause() { player_.Pause(); }
  void Continue() { player_.Continue(); }
  void Stop() { player_.Stop(); }
  void NextBlock() { player_.NextBlock(); }
  void PreviousBlock() { player_.PreviousBlock(); }
  void TapeChanged() { player_.TapeChanged(); }

  DeckState state() const { return player_.state(); }
  int block() const { return player_.block(); }
  int blockCount() const { return player_.blockCount(); }
  std::uint64_t position() const { return player_.position(); }
  std::uint64_t length() const { return player_.length(); }
  int sampleRate() const { return player_.sampleRate(); }
  bool heldAfterBlock() const { return player_.heldAfterBlock(); }

  // The timer's call; tests call it by hand.
  void Poll() { player_.Poll(); }

 signals:
  void Changed();
  void Failed(const QString& reason);
  void Finished();

 private:
  void PlayerChanged() override;
  void PlayerFailed(const std::string& reason) override;
  void PlayerFinished() override;
  // Runs the timer exactly while the player is not stopped.
  void FollowState();

  TapePlayer player_;
  QTimer poll_;
};

// DeckStatusText of the deck's player, for a status bar.
QString DeckStatusText(const TapeDeck& deck);

}  // namespace reelo
