// xToolbar: the stored design (control keys, then one record per button).
#include "controls/toolbar/xToolbar.h"

namespace quillane::controls {

namespace p = quillane::platform;
namespace g = quillane::gfx;

namespace {

constexpr p::OLE_COLOR Sys(std::uint32_t v) { return static_cast<p::OLE_COLOR>(v); }
constexpr p::OLE_COLOR kMagenta = 0xFF00FF;

std::string Key(const char* name, int i) { return name + std::to_string(i); }

}  // namespace

void xToolbar::ReadProperties(const p::PropertyBag& bag) {
  redraw_ = false;
  const p::StdFont& ambient = host_.AmbientFont();
  disabledText3D_ = bag.ReadBool("DisabledText3D", true);
  fixedSize_ = bag.ReadSingle("FixedSize", 0);
  style_ = bag.ReadInt32("Style", tbtsVariable);
  toolTipFont_ = bag.ReadFont("ToolTipFont", ambient);
  textColor_ = bag.ReadInt32("TextColor", Sys(0x80000008u));
  textDisabledColor_ = bag.ReadInt32("TextDisabledColor", Sys(0x80000011u));
  solidChecked_ = bag.ReadBool("SolidChecked", false);
  buttonGap_ = bag.ReadInt16("ButtonGap", 0);
  borderStyle_ = bag.ReadInt32("BorderStyle", tbbsRaised);
  borders_[0] = bag.ReadBool("BorderLeft", true);
  borders_[1] = bag.ReadBool("BorderTop", true);
  borders_[2] = bag.ReadBool("BorderRight", true);
  borders_[3] = bag.ReadBool("BorderBottom", true);
  doubleTopBorder_ = bag.ReadBool("DoubleTopBorder", false);
  doubleBottomBorder_ = bag.ReadBool("DoubleBottomBorder", false);
  backColor_ = bag.ReadInt32("BackColor", Sys(0x8000000Fu));
  highlightColor_ = bag.ReadInt32("HighlightColor", Sys(0x80000014u));
  shadowColor_ = bag.ReadInt32("ShadowColor", Sys(0x80000010u));
  highlightDarkColor_ = bag.ReadInt32("HighlightDarkColor", Sys(0x80000016u));
  shadowDarkColor_ = bag.ReadInt32("ShadowDarkColor", Sys(0x80000015u));
  playSounds_ = bag.ReadBool("PlaySounds", true);
  font_ = bag.ReadFont("Font", ambient);
  UpdateFonts();
  appearance_ = bag.ReadInt32("Appearance", ifcaStandard);
  const int count = std::max<int>(0, bag.ReadInt16("ButtonCount", 0));
  showToolTips_ = bag.ReadBool("ShowToolTips", true);
  mousePointer_ = bag.ReadInt32("MousePointer", 0);
  mouseIcon_ = bag.ReadPicture("MouseIcon");
  ApplyMousePointer();
  const bool enabled = bag.ReadBool("Enabled", true);
  enabled_ = enabled;
  QWidget::setEnabled(enabled);
  captionOptions_ = bag.ReadInt32("CaptionOptions", iftoShowLabels);
  showSeparators_ = bag.ReadBool("ShowSeparators", false);
  hotTracking_ = bag.ReadBool("HotTracking", false);
  hotTrackingColor_ = bag.ReadInt32("HotTrackingColor", Sys(0x8000000Du));
  boldOnChecked_ = bag.ReadBool("BoldOnChecked", false);
  captionAlignment_ = bag.ReadInt32("CaptionAlignment", ifcaCaptionOnRight);
  autoSize_ = bag.ReadBool("AutoSize", false);
  dockingStyle_ = bag.ReadInt16("DockStyle", 2);
  gripWidth_ = dockingStyle_ != tbdsLocked ? 12 : 0;
  title_ = bag.ReadString("Title", name_);
  backStyle_ = bag.ReadInt32("BackStyle", 1);
  if (backStyle_ != 0 && backStyle_ != 1) backStyle_ = 1;
  if (backStyle_ == 1) clearMask();
  if (borderStyle_ == tbbsFrame)
    for (bool& b : borders_) b = true;

  buttons_.clear();
  hotButton_ = pressedButton_ = pointerButton_ = 0;
  for (int i = 1; i <= count; ++i) {
    auto b = std::make_unique<clsBSButton>();
    b->Enabled = bag.ReadBool(Key("ButtonEnabled", i), true);
    b->Checked = bag.ReadBool(Key("ButtonChecked", i), false);
    b->Caption = bag.ReadString(Key("ButtonCaption", i), "");
    b->Description = bag.ReadString(Key("ButtonDescription", i), "");
    b->Key = bag.ReadString(Key("ButtonKey", i), "");
    b->UseMaskColor = bag.ReadBool(Key("ButtonUseMaskColor", i), true);
    b->MaskColor = bag.ReadInt32(Key("ButtonMaskColor", i), kMagenta);
    b->SetAPicture(0, bag.ReadPicture(Key("ButtonPicture", i)));
    b->SetAPicture(1, bag.ReadPicture(Key("ButtonPictureOver", i)));
    b->SetAPicture(2, bag.ReadPicture(Key("ButtonPictureDown", i)));
    b->PlaceholderSize = bag.ReadSingle(Key("ButtonWidth", i), 0);
    b->Style = bag.ReadInt32(Key("ButtonStyle", i), tbrButton);
    b->ToolTipText = bag.ReadString(Key("ButtonToolTipText", i), "");
    b->Visible = bag.ReadBool(Key("ButtonVisible", i), true);
    b->AlwaysShowCaption = bag.ReadBool(Key("ButtonAlwaysShowCaption", i), false);
    b->GroupID = bag.ReadInt16(Key("ButtonGroupID", i), 0);
    buttons_.push_back(std::move(b));
  }
  autoSizeGuard_ = false;
  redraw_ = true;
  Refresh();
}

void xToolbar::WriteProperties(p::PropertyBag& bag) const {
  const p::StdFont& ambient = host_.AmbientFont();
  bag.WriteBool("DisabledText3D", disabledText3D_, true);
  bag.WriteSingle("FixedSize", fixedSize_, 0);
  bag.WriteInt32("Style", style_, tbtsVariable);
  bag.WriteFont("ToolTipFont", toolTipFont_, ambient);
  bag.WriteInt32("TextColor", textColor_, Sys(0x80000008u));
  bag.WriteInt32("TextDisabledColor", textDisabledColor_, Sys(0x80000011u));
  bag.WriteInt16("ButtonGap", buttonGap_, 0);
  bag.WriteInt32("BorderStyle", borderStyle_, tbbsRaised);
  bag.WriteBool("BorderLeft", borders_[0], true);
  bag.WriteBool("BorderTop", borders_[1], true);
  bag.WriteBool("BorderRight", borders_[2], true);
  bag.WriteBool("BorderBottom", borders_[3], true);
  bag.WriteBool("DoubleTopBorder", doubleTopBorder_, false);
  bag.WriteBool("DoubleBottomBorder", doubleBottomBorder_, false);
  bag.WriteInt32("BackColor", backColor_, Sys(0x8000000Fu));
  bag.WriteInt32("HighlightColor", highlightColor_, Sys(0x80000014u));
  bag.WriteInt32("ShadowColor", shadowColor_, Sys(0x80000010u));
  bag.WriteInt32("HighlightDarkColor", highlightDarkColor_, Sys(0x80000016u));
  bag.WriteInt32("ShadowDarkColor", shadowDarkColor_, Sys(0x80000015u));
  bag.WriteFont("Font", font_, ambient);
  bag.WriteInt32("Appearance", appearance_, ifcaStandard);
  bag.WriteBool("Enabled", enabled_, true);
  bag.WriteProperty("ButtonCount", ButtonCount());
  bag.WriteBool("PlaySounds", playSounds_, true);
  bag.WriteBool("ShowToolTips", showToolTips_, true);
  bag.WriteInt32("MousePointer", mousePointer_, 0);
  bag.WritePicture("MouseIcon", mouseIcon_);
  bag.WriteInt32("CaptionOptions", captionOptions_, iftoShowLabels);
  bag.WriteBool("SolidChecked", solidChecked_, false);
  bag.WriteBool("ShowSeparators", showSeparators_, false);
  bag.WriteBool("HotTracking", hotTracking_, false);
  bag.WriteInt32("HotTrackingColor", hotTrackingColor_, Sys(0x8000000Du));
  bag.WriteBool("BoldOnChecked", boldOnChecked_, false);
  bag.WriteInt32("CaptionAlignment", captionAlignment_, ifcaCaptionOnRight);
  bag.WriteBool("AutoSize", autoSize_, false);
  bag.WriteInt32("BackStyle", backStyle_, 1);
  bag.WriteInt16("DockStyle", static_cast<std::int16_t>(dockingStyle_), 2);
  bag.WriteString("Title", title_, name_);
  for (int i = 1; i <= ButtonCount(); ++i) {
    const clsBSButton& b = *At(i);
    bag.WriteBool(Key("ButtonEnabled", i), b.Enabled, true);
    bag.WriteBool(Key("ButtonChecked", i), b.Checked, false);
    bag.WriteString(Key("ButtonCaption", i), b.Caption, "");
    bag.WriteString(Key("ButtonDescription", i), b.Description, "");
    bag.WriteString(Key("ButtonKey", i), b.Key, "");
    bag.WriteBool(Key("ButtonUseMaskColor", i), b.UseMaskColor, true);
    bag.WriteInt32(Key("ButtonMaskColor", i), b.MaskColor, kMagenta);
    bag.WritePicture(Key("ButtonPicture", i), b.APicture(0));
    bag.WritePicture(Key("ButtonPictureOver", i), b.APicture(1));
    bag.WritePicture(Key("ButtonPictureDown", i), b.APicture(2));
    bag.WriteSingle(Key("ButtonWidth", i), b.PlaceholderSize, 0);
    bag.WriteInt32(Key("ButtonStyle", i), b.Style, tbrButton);
    bag.WriteString(Key("ButtonToolTipText", i), b.ToolTipText, "");
    bag.WriteBool(Key("ButtonVisible", i), b.Visible, true);
    bag.WriteBool(Key("ButtonAlwaysShowCaption", i), b.AlwaysShowCaption, false);
    bag.WriteInt16(Key("ButtonGroupID", i), b.GroupID, 0);
  }
}

}  // namespace quillane::controls
