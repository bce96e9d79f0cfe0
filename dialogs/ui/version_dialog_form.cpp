#include "dialogs/ui/version_dialog_form.h"

#include "controls/form_font.h"
#include "controls/local_text.h"
#include "controls/system_colors.h"

#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>

// The icon lives in this library's resources; a static library keeps them
// only when something names them. (Outside any namespace, as
// Q_INIT_RESOURCE requires.)
static void Load_Icon_Resources() { Q_INIT_RESOURCE(version_dialog_form); }

namespace qev {

TVersionDialogForm::TVersionDialogForm(qev::TQEV_State& /*state*/, QWidget* parent, const std::string& executable)
    : QDialog(parent) {
    setObjectName(QStringLiteral("VersionDialogForm"));
    setWindowTitle(QStringLiteral("Version"));
    setFont(Form_Font());
    QPalette face = palette();
    face.setColor(QPalette::Window, System_Color(TSystem_Color::Btn_Face));
    setPalette(face);
    setAutoFillBackground(true);
    setFixedSize(Form_Width, Form_Height);
    Create_Components();
    FormCreate(executable);
    // Not moved: a dialog with a parent is centred on it when shown.
}

QImage TVersionDialogForm::Icon_Picture() {
    Load_Icon_Resources();
    return QImage(QStringLiteral(":/icons/qev_lpt.xpm"));
}

QFont TVersionDialogForm::Label_Font() {
    QFont font;
    // The Japanese fixed-pitch faces first (IPAGothic's Latin letters are
    // half-width cells), then any monospace face.
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"),
                      QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("VL Gothic"),
                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    return font;
}

void TVersionDialogForm::Create_Components() {
    // Created first: the first control in the tab order.
    ok_button_ = new QPushButton(QStringLiteral("OK"), this);
    ok_button_->setObjectName(QStringLiteral("OKButton"));
    ok_button_->setGeometry(16, 120, 73, 33);
    connect(ok_button_, &QPushButton::clicked, this, &TVersionDialogForm::OKButtonClick);

    // The 32 x 32 picture stretched over 73 x 73, each pixel kept sharp.
    icon_image_ = new QLabel(this);
    icon_image_->setObjectName(QStringLiteral("VeyIcon_Image"));
    icon_image_->setGeometry(16, 24, Icon_Size, Icon_Size);
    icon_image_->setPixmap(
        QPixmap::fromImage(Icon_Picture().scaled(Icon_Size, Icon_Size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));

    const QFont label_font = Label_Font();
    for (std::size_t i = 0; i < qev::Version_Field_Count; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(qev::Version_Fields[i].Label));
        label->setTextFormat(Qt::PlainText);
        label->setFont(label_font);
        label->move(112, 24 + 24 * static_cast<int>(i));
        labels_[i] = label;
    }
}

// Fills the labels from the executable's version information; without one
// they keep their design texts (Version_Label_Texts says what a missing
// field shows).
void TVersionDialogForm::FormCreate(const std::string& executable) {
    const qev::TVersion_Label_Texts texts = qev::Version_Label_Texts(executable);
    for (std::size_t i = 0; i < qev::Version_Field_Count; ++i) {
        labels_[i]->setText(qev::To_Q(texts[i]));
        // A label sizes itself to its text.
        labels_[i]->adjustSize();
    }
}

void TVersionDialogForm::OKButtonClick() { accept(); }

}  // namespace qev
