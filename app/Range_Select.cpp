#include "app/Range_Select.h"

#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"
#include "protocol/MemoryRecord.h"

#include <algorithm>

TRange_Selection* Range_Selection = nullptr;

namespace {
void BuildTRange_Selection(TClassBuilder<TRange_Selection>& b)
{
    b.Field("Label1", &TRange_Selection::Label1);
    b.Field("BegMemEdit", &TRange_Selection::BegMemEdit);
    b.Field("Label2", &TRange_Selection::Label2);
    b.Field("EndMemEdit", &TRange_Selection::EndMemEdit);
    b.Field("OKButton", &TRange_Selection::OKButton);
    b.Field("CancelButton", &TRange_Selection::CancelButton);
}

int HeldInRange(int v) { return std::clamp(v, 0, MemoryRecord::LastMemory); }
} // namespace

QM_CLASS_IMPL(TRange_Selection, TForm, BuildTRange_Selection)

TRange_Selection::TRange_Selection(TComponent* AOwner) : TForm(AOwner) {}

TRange_Selection::~TRange_Selection() { ForgetGlobal(Range_Selection, this); }

void TRange_Selection::SetSelection(std::uint8_t First, std::uint8_t Last)
{
    BegMemEdit->SetValue(HeldInRange(First));
    EndMemEdit->SetValue(HeldInRange(Last));
}

void TRange_Selection::GetSelection(std::uint8_t& First, std::uint8_t& Last)
{
    int beg = HeldInRange(BegMemEdit->Value());
    int end = HeldInRange(EndMemEdit->Value());
    if (end < beg) {
        std::swap(beg, end);
        BegMemEdit->SetValue(beg);
        EndMemEdit->SetValue(end);
    }
    First = static_cast<std::uint8_t>(beg);
    Last = static_cast<std::uint8_t>(end);
}
