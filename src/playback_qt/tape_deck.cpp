#include "playback_qt/tape_deck.h"

namespace reelo {

TapeDeck::TapeDeck(const TapeProject& project, AudioOutput& output, QObject* parent)
    : QObject(parent), player_(project, output) {
  poll_.setInterval(kPollInterval);
  connect(&poll_, &QTimer::timeout, this, &TapeDeck::Poll);
  player_.setListener(this);
}

TapeDeck::~TapeDeck() { player_.setListener(nullptr); }

// A Play that fails has already stopped (and said why through Failed).
bool TapeDeck::Play(int first) {
  const bool playing = player_.Play(first);
  FollowState();
  return playing;
}

void TapeDeck::FollowState() {
  if (player_.state() == DeckState::Stopped) {
    poll_.stop();
  } else if (!poll_.isActive()) {
    poll_.start();
  }
}

void TapeDeck::PlayerChanged() {
  FollowState();
  emit Changed();
}

void TapeDeck::PlayerFailed(const std::string& reason) {
  FollowState();
  emit Failed(QString::fromStdString(reason));
}

void TapeDeck::PlayerFinished() {
  FollowState();
  emit Finished();
}

QString DeckStatusText(const TapeDeck& deck) { return QString::fromStdString(DeckStatusText(deck.player())); }

}  // namespace reelo
