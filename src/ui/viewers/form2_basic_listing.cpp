#include "ui/viewers/form2_basic_listing.h"

#include <QCheckBox>

#include "viewers/basic_listing.h"

namespace reelo {
namespace {

// Right of "Закрыть", in the band above the text area.
constexpr QRect kCheckGeometry{80, 0, 220, 25};

}  // namespace

Form2::Form2(const TapeProject& project)
    : TextViewWindow("Form2", "Просмотр в виде BASIC-листинга", Wrap::AtRightEdge, TabOrder::TextFirst, nullptr),
      project_(project) {
  Check1_ = new QCheckBox(QStringLiteral("Показывать скрытые байты"), this);
  Check1_->setObjectName(QStringLiteral("Check1"));
  Check1_->setGeometry(kCheckGeometry);
  Check1_->setFont(ViewerButtonFont());
  connect(Check1_, &QCheckBox::toggled, this, &Form2::Check1_Click);
}

// Off: the listing as the Spectrum shows it (the five-byte forms of numbers
// and the colour codes hidden). On: every byte rendered as it stands.
std::string Form2::Listing() const {
  const TapeBlock& block = BlockAt(project_, index_);
  return Check1_->isChecked() ? BuildBasicListing(block) : BuildSpectrumListing(block);
}

void Form2::Start(int index) {
  index_ = index;
  ShowModal(Listing());
}

void Form2::Check1_Click() { ReplaceViewText(Listing()); }

}  // namespace reelo
