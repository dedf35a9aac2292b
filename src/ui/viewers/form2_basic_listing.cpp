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
// and the colour codes hidden). On: the same listing with every hidden byte
// shown as a mark where it stands, drawn apart from the program text.
void Form2::Start(int index) {
  index_ = index;
  Check1_Click();
  ShowModal();
}

void Form2::Check1_Click() {
  const TapeBlock& block = BlockAt(project_, index_);
  if (!Check1_->isChecked()) {
    ReplaceViewText(BuildSpectrumListing(block));
    return;
  }
  const MarkedListing listing = BuildMarkedListing(block);
  std::vector<std::pair<std::size_t, std::size_t>> marks;
  marks.reserve(listing.marks.size());
  for (const ListingMark& mark : listing.marks) marks.emplace_back(mark.begin, mark.length);
  ReplaceViewText(listing.text, marks);
}

}  // namespace reelo
