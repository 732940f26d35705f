// Draws every picture of the resource package and of the toolkit's system resources at build
// time, from the keyboard coordinates file and the small descriptions below, so that the pictures
// and the clickable key regions always agree. Pictures are drawn at twice their size
// ("name@2x.png") so that they stay sharp at 200%.
//
//   keylume_picgen --system <out-dir>
//   keylume_picgen --uires <keyboard.xml> <out-dir>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QXmlStreamReader>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QColor kBg("#101217"), kPanel("#181b22"), kField("#22262f"), kBorder("#2c313c"),
    kText("#e4e7ee"), kDim("#8a93a6"), kAccent("#00c8ff"), kAccent2("#ff2d95"), kDanger("#ff3b5c"),
    kGood("#27d17f"), kWarn("#ffb020");

QString g_out;
bool g_ok = true;

using Painter = std::function<void(QPainter&, QSizeF)>;

// One picture of `w` x `h` logical pixels, made of `states` side-by-side states.
void Save(const QString& name, int w, int h, const Painter& paint) {
    QImage img(w * 2, h * 2, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(2, 2);
    paint(p, QSizeF(w, h));
    p.end();
    QString path = g_out + "/" + name + "@2x.png";
    if (!img.save(path)) {
        std::fprintf(stderr, "picgen: cannot write %s\n", qPrintable(path));
        g_ok = false;
    }
}

// A strip of `states` states, each drawn by `paint` with its state index.
void SaveStates(const QString& name, int w, int h, int states,
                const std::function<void(QPainter&, QRectF, int)>& paint) {
    Save(name, w * states, h, [&](QPainter& p, QSizeF) {
        for (int s = 0; s < states; ++s) {
            p.save();
            paint(p, QRectF(s * w, 0, w, h), s);
            p.restore();
        }
    });
}

QColor StateColor(const QColor& base, int state) {
    switch (state) {
        case 1:
            return base.lighter(135);
        case 2:
            return base.darker(120);
        case 3:
            return QColor(90, 96, 110);
        default:
            return base;
    }
}

void Panel(QPainter& p, QRectF r, QColor fill, QColor border, double radius) {
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

QFont Font(double px, bool bold = false) {
    QFont f;
    f.setFamilies({"Noto Sans CJK SC", "DejaVu Sans"});
    f.setPixelSize(static_cast<int>(px));
    f.setBold(bold);
    return f;
}

// Icon glyphs drawn in a 24x24 box.
void Glyph(QPainter& p, const QString& kind, QRectF box, QColor c) {
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 24.0, box.height() / 24.0);
    QPen pen(c, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    if (kind == "add") {
        p.drawLine(QPointF(12, 5), QPointF(12, 19));
        p.drawLine(QPointF(5, 12), QPointF(19, 12));
    } else if (kind == "del") {
        p.drawLine(QPointF(5, 7), QPointF(19, 7));
        p.drawRoundedRect(QRectF(7, 7, 10, 12), 2, 2);
        p.drawLine(QPointF(10, 4.5), QPointF(14, 4.5));
    } else if (kind == "clear") {
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
    } else if (kind == "up" || kind == "down") {
        double d = kind == "up" ? 1 : -1;
        p.drawLine(QPointF(12, 12 - 7 * d), QPointF(12, 12 + 7 * d));
        p.drawPolyline(QList<QPointF>{{6, 12 - 1 * d}, {12, 12 - 7 * d}, {18, 12 - 1 * d}});
    } else if (kind == "import" || kind == "export") {
        p.drawPolyline(QList<QPointF>{{5, 14}, {5, 19}, {19, 19}, {19, 14}});
        double d = kind == "import" ? 1 : -1;
        p.drawLine(QPointF(12, 4), QPointF(12, 15));
        if (d > 0) {
            p.drawPolyline(QList<QPointF>{{8, 11}, {12, 15}, {16, 11}});
        } else {
            p.drawPolyline(QList<QPointF>{{8, 8}, {12, 4}, {16, 8}});
        }
    } else if (kind == "record") {
        p.setPen(Qt::NoPen);
        p.setBrush(kDanger);
        p.drawEllipse(QPointF(12, 12), 6, 6);
        p.setPen(QPen(c, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    } else if (kind == "capture") {
        p.drawEllipse(QPointF(12, 12), 7, 7);
        p.drawLine(QPointF(12, 2), QPointF(12, 6));
        p.drawLine(QPointF(12, 18), QPointF(12, 22));
        p.drawLine(QPointF(2, 12), QPointF(6, 12));
        p.drawLine(QPointF(18, 12), QPointF(22, 12));
    } else if (kind == "ok") {
        p.drawPolyline(QList<QPointF>{{5, 12.5}, {10, 17.5}, {19, 7}});
    } else if (kind == "more") {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QPointF(6 + i * 6, 12), 2, 2);
    } else if (kind == "macro") {
        p.drawRoundedRect(QRectF(3, 6, 18, 12), 3, 3);
        p.drawLine(QPointF(7, 10), QPointF(9, 10));
        p.drawLine(QPointF(11, 10), QPointF(13, 10));
        p.drawLine(QPointF(15, 10), QPointF(17, 10));
        p.drawLine(QPointF(8, 14), QPointF(16, 14));
    } else if (kind == "rgb") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 45, 149, 220));
        p.drawEllipse(QPointF(9, 10), 6, 6);
        p.setBrush(QColor(0, 200, 255, 220));
        p.drawEllipse(QPointF(15, 10), 6, 6);
        p.setBrush(QColor(39, 209, 127, 220));
        p.drawEllipse(QPointF(12, 15), 6, 6);
    } else if (kind == "close") {
        p.drawLine(QPointF(7, 7), QPointF(17, 17));
        p.drawLine(QPointF(17, 7), QPointF(7, 17));
    }
    p.restore();
}

void StateIcon(const QString& name, const QString& glyph, QColor color) {
    SaveStates(name, 24, 24, 4, [&](QPainter& p, QRectF r, int s) {
        Glyph(p, glyph, r.adjusted(2, 2, -2, -2), StateColor(color, s));
    });
}

QLinearGradient Rainbow(QRectF r) {
    QLinearGradient g(r.topLeft(), r.topRight());
    const QColor stops[] = {"#ff2d95", "#ff7a18", "#ffd400", "#27d17f",
                            "#00c8ff", "#7a5cff", "#ff2d95"};
    for (int i = 0; i < 7; ++i)
        g.setColorAt(i / 6.0, stops[i]);
    return g;
}

void Logo(QPainter& p, QRectF r) {
    QRectF cap =
        r.adjusted(r.width() * 0.08, r.height() * 0.08, -r.width() * 0.08, -r.height() * 0.08);
    p.setPen(QPen(QBrush(Rainbow(cap)), r.width() * 0.07));
    p.setBrush(kPanel);
    p.drawRoundedRect(cap, r.width() * 0.18, r.width() * 0.18);
    p.setPen(Qt::NoPen);
    p.setBrush(QBrush(Rainbow(cap)));
    QRectF inner = cap.adjusted(cap.width() * 0.28, cap.height() * 0.26, -cap.width() * 0.28,
                                -cap.height() * 0.34);
    QPainterPath k;
    k.addRect(QRectF(inner.left(), inner.top(), inner.width() * 0.22, inner.height()));
    QPolygonF arm{QPointF(inner.left() + inner.width() * 0.2, inner.center().y()),
                  QPointF(inner.right(), inner.top()),
                  QPointF(inner.right(), inner.top() + inner.height() * 0.25),
                  QPointF(inner.left() + inner.width() * 0.45, inner.center().y() + 1),
                  QPointF(inner.right(), inner.bottom() - inner.height() * 0.25),
                  QPointF(inner.right(), inner.bottom())};
    k.addPolygon(arm);
    p.drawPath(k.simplified());
    p.fillRect(QRectF(cap.left() + cap.width() * 0.25, cap.bottom() - cap.height() * 0.22,
                      cap.width() * 0.5, cap.height() * 0.06),
               QBrush(Rainbow(cap)));
}

void SystemPictures() {
    auto badge = [](const QString& name, QColor color, const QString& mark) {
        Save(name, 40, 40, [&](QPainter& p, QSizeF s) {
            QRectF r(2, 2, s.width() - 4, s.height() - 4);
            p.setPen(Qt::NoPen);
            QColor soft = color;
            soft.setAlpha(50);
            p.setBrush(soft);
            p.drawEllipse(r);
            p.setPen(QPen(color, 2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(r.adjusted(3, 3, -3, -3));
            p.setPen(color);
            p.setFont(Font(20, true));
            p.drawText(r, Qt::AlignCenter, mark);
        });
    };
    badge("SYS_ICON_WARNING", kWarn, "!");
    badge("SYS_ICON_INFO", kAccent, "i");
    badge("SYS_ICON_QUESTION", kAccent, "?");
    badge("SYS_ICON_ERROR", kDanger, "\u00d7");
    SaveStates("SYS_BTN_CLOSE", 28, 28, 3, [](QPainter& p, QRectF r, int s) {
        if (s > 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(s == 1 ? kDanger : kDanger.darker(130));
            p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 6, 6);
        }
        Glyph(p, "close", r.adjusted(6, 6, -6, -6), s > 0 ? Qt::white : kDim);
    });
    SaveStates("SYS_BTN_MIN", 28, 28, 3, [](QPainter& p, QRectF r, int s) {
        if (s > 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(s == 1 ? kField.lighter(140) : kField);
            p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 6, 6);
        }
        p.setPen(QPen(s > 0 ? Qt::white : kDim, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(r.left() + 9, r.center().y()), QPointF(r.right() - 9, r.center().y()));
    });
}

struct Key {
    QRectF rect;
    QString cap;
    QColor color;
};

std::vector<Key> ReadKeys(const QString& path, QSize* size) {
    std::vector<Key> keys;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return keys;
    QXmlStreamReader r(&f);
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        auto a = r.attributes();
        if (r.name() == QLatin1String("positions")) {
            *size = QSize(a.value("width").toInt(), a.value("height").toInt());
            continue;
        }
        QStringList n = a.value("rect").toString().remove(' ').split(',');
        if (n.size() != 4)
            continue;
        Key k;
        k.rect = QRectF(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt());
        k.cap = a.value("cap").toString();
        k.color = QColor(a.value("color").toString().remove(' '));
        if (!k.color.isValid())
            k.color = kField;
        keys.push_back(k);
    }
    return keys;
}

enum class KeyLook { Normal, Checked, Pressed, Floating, Demo };

void Keyboard(const QString& name, const std::vector<Key>& keys, QSize size, KeyLook look) {
    Save(name, size.width(), size.height(), [&](QPainter& p, QSizeF s) {
        QRectF plate(2, 2, s.width() - 4, s.height() - 4);
        p.setPen(QPen(kBorder, 1.5));
        QLinearGradient g(plate.topLeft(), plate.bottomLeft());
        g.setColorAt(0, QColor("#1a1d24"));
        g.setColorAt(1, QColor("#0d0f13"));
        p.setBrush(g);
        p.drawRoundedRect(plate, 12, 12);
        QLinearGradient rainbow = Rainbow(plate);
        for (const Key& k : keys) {
            QRectF r = k.rect;
            QColor top = k.color.lighter(125), side = k.color.darker(140);
            QColor legend = kText;
            QPen edge(QColor(0, 0, 0, 120), 1);
            switch (look) {
                case KeyLook::Checked:
                    top = QColor("#0f3a4a");
                    side = QColor("#0a2630");
                    edge = QPen(kAccent, 1.6);
                    legend = kAccent;
                    break;
                case KeyLook::Pressed:
                    top = kAccent.darker(150);
                    side = kAccent.darker(220);
                    legend = Qt::white;
                    break;
                case KeyLook::Floating:
                    top = k.color.lighter(190);
                    edge = QPen(kAccent2, 1.6);
                    legend = Qt::white;
                    break;
                case KeyLook::Demo: {
                    double t = (r.center().x() - plate.left()) / plate.width();
                    QColor c = QColor::fromHsvF(std::fmod(0.92 + t, 1.0), 0.85, 0.9);
                    top = c.darker(260);
                    side = c.darker(400);
                    edge = QPen(c, 1.4);
                    legend = c.lighter(130);
                    break;
                }
                default:
                    break;
            }
            p.setPen(Qt::NoPen);
            p.setBrush(side);
            p.drawRoundedRect(r, 5, 5);
            p.setPen(edge);
            p.setBrush(top);
            p.drawRoundedRect(r.adjusted(1.5, 1, -1.5, -4), 4, 4);
            p.setPen(legend);
            double px = k.cap.size() > 3 ? 9.5 : 12;
            p.setFont(Font(px, look == KeyLook::Checked));
            p.drawText(r.adjusted(5, 3, -5, -6),
                       k.cap.size() > 1 ? (Qt::AlignLeft | Qt::AlignTop) : Qt::AlignCenter, k.cap);
        }
        if (look == KeyLook::Normal || look == KeyLook::Demo) {
            // The side-light strip along the front edge.
            p.setPen(Qt::NoPen);
            p.setBrush(QBrush(rainbow));
            p.setOpacity(look == KeyLook::Demo ? 0.9 : 0.45);
            p.drawRoundedRect(
                QRectF(plate.left() + 24, plate.bottom() - 5, plate.width() - 48, 2.5), 1, 1);
            p.setOpacity(1);
        }
    });
}

void PackagePictures(const QString& coords) {
    QSize size(932, 292);
    std::vector<Key> keys = ReadKeys(coords, &size);
    if (keys.empty()) {
        std::fprintf(stderr, "picgen: no keys in %s\n", qPrintable(coords));
        g_ok = false;
        return;
    }
    Keyboard("img_keboard_normal", keys, size, KeyLook::Normal);
    Keyboard("img_keboard_checked", keys, size, KeyLook::Checked);
    Keyboard("img_keboard_pressed", keys, size, KeyLook::Pressed);
    Keyboard("img_keboard_floating", keys, size, KeyLook::Floating);
    Keyboard("img_keboard_demo", keys, size, KeyLook::Demo);

    Save("logo", 64, 64, [](QPainter& p, QSizeF s) { Logo(p, QRectF(QPointF(0, 0), s)); });
    Save("table_main_icon", 28, 28,
         [](QPainter& p, QSizeF s) { Logo(p, QRectF(QPointF(0, 0), s)); });
    auto background = [](QPainter& p, QSizeF s, bool accentLine) {
        QLinearGradient g(0, 0, 0, s.height());
        g.setColorAt(0, QColor("#14171d"));
        g.setColorAt(1, QColor("#0c0e12"));
        p.setPen(QPen(kBorder, 1));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 12, 12);
        if (accentLine) {
            QLinearGradient line = Rainbow(QRectF(0, 0, s.width(), 2));
            p.fillRect(QRectF(24, 0, s.width() - 48, 2), line);
        }
        // A faint diagonal grain, the way brushed keyboard plates look.
        p.setPen(QPen(QColor(255, 255, 255, 6), 1));
        for (int x = -static_cast<int>(s.height()); x < s.width(); x += 14) {
            p.drawLine(QPointF(x, s.height()), QPointF(x + s.height(), 0));
        }
    };
    Save("table_main_bg", 1000, 660, [&](QPainter& p, QSizeF s) { background(p, s, true); });
    Save("win_macro_bg", 940, 620, [&](QPainter& p, QSizeF s) { background(p, s, true); });
    auto ninePatch = [](const QString& n, QColor fill, QColor border) {
        Save(n, 32, 32,
             [&](QPainter& p, QSizeF s) { Panel(p, QRectF(QPointF(0, 0), s), fill, border, 8); });
    };
    ninePatch("bg_macr_keys", kPanel, kBorder);
    ninePatch("bg_macro_group", kPanel, kBorder);
    ninePatch("image_bg_macro_content", QColor("#14171d"), kBorder);
    Save("kb_macro_bg", 940, 64, [](QPainter& p, QSizeF s) {
        QLinearGradient g(0, 0, s.width(), 0);
        g.setColorAt(0, QColor(0, 200, 255, 40));
        g.setColorAt(0.5, QColor(255, 45, 149, 24));
        g.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(QRectF(QPointF(0, 0), s), g);
    });
    auto tab = [](const QString& n, bool checked) {
        SaveStates(n, 150, 40, 3, [&](QPainter& p, QRectF r, int s) {
            QColor fill = checked ? QColor("#173848") : (s == 1 ? kField : kPanel);
            Panel(p, r.adjusted(1, 1, -1, -1), fill, checked ? kAccent : kBorder, 8);
        });
    };
    tab("state_func_bg", false);
    tab("state_funcc_bg", true);
    Save("ioc_func_macro", 24, 24,
         [](QPainter& p, QSizeF s) { Glyph(p, "macro", QRectF(QPointF(0, 0), s), kAccent); });
    Save("ioc_func_rgb", 24, 24,
         [](QPainter& p, QSizeF s) { Glyph(p, "rgb", QRectF(QPointF(0, 0), s), kAccent); });
    Save("icon_color_effects", 24, 24,
         [](QPainter& p, QSizeF s) { Glyph(p, "rgb", QRectF(QPointF(0, 0), s), kAccent); });
    Save("cbox_profile_normal", 140, 32,
         [](QPainter& p, QSizeF s) { Panel(p, QRectF(QPointF(0, 0), s), kField, kBorder, 6); });
    Save("cbox_profile_selected", 140, 32, [](QPainter& p, QSizeF s) {
        Panel(p, QRectF(QPointF(0, 0), s), QColor("#173848"), kAccent, 6);
    });
    Save("cbox_profile_ico", 16, 16, [](QPainter& p, QSizeF s) {
        p.setPen(Qt::NoPen);
        p.setBrush(kDim);
        QPolygonF tri{{3, 6}, {13, 6}, {8, 11}};
        p.drawPolygon(tri);
        (void)s;
    });
    StateIcon("state_del", "del", kText);
    StateIcon("state_add", "add", kText);
    StateIcon("state_capture", "capture", kText);
    StateIcon("state_import", "import", kText);
    StateIcon("state_export", "export", kText);
    StateIcon("state_up", "up", kText);
    StateIcon("state_down", "down", kText);
    StateIcon("state_record", "record", kText);
    StateIcon("state_ok", "ok", kGood);
    StateIcon("state_cancel", "close", kText);
    StateIcon("state_clear", "clear", kText);
    StateIcon("more_menu", "more", kText);
    SaveStates("state_color_effects", 24, 24, 4, [](QPainter& p, QRectF r, int s) {
        p.setOpacity(s == 3 ? 0.4 : 1);
        Glyph(p, "rgb", r.adjusted(2, 2, -2, -2), kText);
    });
    SaveStates("state_color_select", 24, 24, 4, [](QPainter& p, QRectF r, int s) {
        p.setPen(QPen(s == 1 || s == 2 ? kAccent : kBorder, 2));
        p.setBrush(QBrush(Rainbow(r)));
        p.drawEllipse(r.adjusted(3, 3, -3, -3));
    });
    Save("bg_progress_bg", 64, 6, [](QPainter& p, QSizeF s) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBorder);
        p.drawRoundedRect(QRectF(QPointF(0, 0), s), 3, 3);
    });
    Save("bg_progress_pos", 64, 6, [](QPainter& p, QSizeF s) {
        p.setPen(Qt::NoPen);
        QLinearGradient g(0, 0, s.width(), 0);
        g.setColorAt(0, kAccent);
        g.setColorAt(1, kAccent2);
        p.setBrush(g);
        p.drawRoundedRect(QRectF(QPointF(0, 0), s), 3, 3);
    });
    SaveStates("state_progres_thum", 16, 16, 4, [](QPainter& p, QRectF r, int s) {
        p.setPen(QPen(kAccent, 2));
        p.setBrush(StateColor(kText, s));
        p.drawEllipse(r.adjusted(2, 2, -2, -2));
    });
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "--system") {
        g_out = args[2];
        QDir().mkpath(g_out);
        SystemPictures();
    } else if (args.size() == 4 && args[1] == "--uires") {
        g_out = args[3];
        QDir().mkpath(g_out);
        PackagePictures(args[2]);
    } else {
        std::fprintf(stderr,
                     "usage: keylume_picgen --system <dir> | --uires <keyboard.xml> <dir>\n");
        return 2;
    }
    return g_ok ? 0 : 1;
}
