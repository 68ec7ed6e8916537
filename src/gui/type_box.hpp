#pragma once

#include <QGroupBox>

#include <array>

class QRadioButton;

namespace brandel::gui {

/// The type box "Frame3": the nine options "Option1_0" to "Option1_8" (index in the property
/// "index") in three rows. In FILEconv it is "ORG file type" and its options name the source
/// layouts; in CHN_edit it is "Proc type" and only options 1, 5 and 6 show, naming the actions
/// of the comment listing. "NAIG" (2) can never be chosen.
class TypeBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit TypeBox(QWidget* parent);

    QRadioButton* option(int index) const;
    /// Gives the box the title, captions, tips and shown options of a mode; any mode other
    /// than FILEconv and CHN_edit changes nothing.
    void show_mode(int mode);
    /// Marks `index` as the chosen option, or none for -1.
    void check(int index);

    /// Whether `index` names an action in CHN_edit.
    static bool chn_edit_type(int index);
    static constexpr int naig = 2;

  signals:
    void clicked(int index);

  private:
    std::array<QRadioButton*, 9> options_{};
};

}  // namespace brandel::gui
