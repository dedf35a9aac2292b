#include "ui/viewers/form2_basic_listing.h"

#include "viewers/basic_listing.h"

namespace reelo {

Form2::Form2(const TapeProject& project)
    : TextViewWindow("Form2", "Просмотр в виде BASIC-листинга", Wrap::AtRightEdge, TabOrder::TextFirst, nullptr),
      project_(project) {}

void Form2::Start(int index) { ShowModal(BuildBasicListing(BlockAt(project_, index))); }

}  // namespace reelo
