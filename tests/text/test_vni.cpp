#include "vni.h"

#include <QtTest>

using miravon::vniToUnicode;

class TestVni : public QObject {
    Q_OBJECT
private slots:
    void converts_data();
    void converts();
    void outputIsPrecomposed();
};

void TestVni::converts_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");

    // The program's own texts.
    QTest::newRow("connecting message")
        << "D9ang ke61t no61i d9e61n ke6nh ba5n ye6u ca62u .. vui lo2ng d9o75i gia6y la1t"
        << u8"Đang kết nối đến kênh bạn yêu cầu .. vui lòng đợi giây lát";
    QTest::newRow("menu asdf") << "Truye62n Hi2nh Vie65t Nam" << u8"Truyền Hình Việt Nam";
    QTest::newRow("menu file") << "Thu75c d9o7n" << u8"Thực đơn";
    QTest::newRow("author") << "Ta1c gia3" << u8"Tác giả";
    QTest::newRow("uo both horned") << "Ngu7o72i hu2ng tro73 la5i" << u8"Người hùng trở lại";
    QTest::newRow("breve then grave") << "Tha82ng bo72m" << u8"Thằng bờm";
    QTest::newRow("digit after F stays") << "Vu4 khi1 sie6u d9a83ng F1" << u8"Vũ khí siêu đẳng F1";
    QTest::newRow("precomposed passes") << "Y1 - Italia (57 Kênh)" << u8"Ý - Italia (57 Kênh)";
    QTest::newRow("name with mark") << "Supernet Fehe1r" << u8"Supernet Fehér";
    QTest::newRow("version label") << "Phie6n ba3n thu73 nghie65m 1.0" << u8"Phiên bản thử nghiệm 1.0";
    QTest::newRow("tone on written vowel") << "Ngoa2i Chu1a Mu2a hu3y gia61c Thua65t"
                                           << u8"Ngoài Chúa Mùa hủy giấc Thuật";
    QTest::newRow("uo with tone") << "d9u7o75c Chu7o7ng" << u8"được Chương";

    // Digits that are not marks.
    QTest::newRow("F2 stays") << "Bi5p vu7o7ng F2" << u8"Bịp vương F2";
    QTest::newRow("after consonant") << "CN8 Mid-Atlantic" << "CN8 Mid-Atlantic";
    QTest::newRow("TV3") << "Cerritos TV3" << "Cerritos TV3";
    QTest::newRow("lone 1") << "1" << "1";
    QTest::newRow("lone 2") << "2" << "2";
    QTest::newRow("lone 3") << "3" << "3";
    QTest::newRow("word start") << "80 Nga2y vo2ng quanh the61 gio71i" << u8"80 Ngày vòng quanh thế giới";
    QTest::newRow("after blank") << "Danh Sa1ch Phim --- Trang 05" << u8"Danh Sách Phim --- Trang 05";
    QTest::newRow("after blank 2") << "Ke61 hoa5ch 1 vu5 a1n" << u8"Kế hoạch 1 vụ án";
    QTest::newRow("count") << "USA - My4 ( 143 Ke6nh )" << u8"USA - Mỹ ( 143 Kênh )";
    QTest::newRow("leading digits") << "100 Ways to Murder Your Wife " << "100 Ways to Murder Your Wife ";
    QTest::newRow("7th") << "The 7th Voyage of Sinbad" << "The 7th Voyage of Sinbad";
    QTest::newRow("Kênh both ways") << "( 35 Ke6nh ) Brazil ( 35 Kênh)" << u8"( 35 Kênh ) Brazil ( 35 Kênh)";

    // Capitals.
    QTest::newRow("upper case")
        << "trong nu7o71c va2 quo61c te61 vo71i d9u7o72ng truye62n INTERNET TO61C D9O65 CAO ( ADSL ,..)"
        << u8"trong nước và quốc tế với đường truyền INTERNET TỐC ĐỘ CAO ( ADSL ,..)";
    QTest::newRow("capital marks") << "D9 TO61C D9O65 Y1" << u8"Đ TỐC ĐỘ Ý";
    QTest::newRow("NOA4 flagged") << "NOA4" << u8"NOÃ";

    // Groups the texts never hold: left as digits.
    QTest::newRow("shape the vowel cannot take") << "i6 e8 u6" << "i6 e8 u6";
    QTest::newRow("two tones") << "a12" << u8"á2";
    QTest::newRow("9 after other letter") << "t9 a9" << "t9 a9";
    QTest::newRow("zero is no mark") << "a0" << "a0";
    QTest::newRow("trailing d") << "d" << "d";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("every shape and tone")
        << "a1a2a3a4a5 a61a62a63a64a65 a81a82a83a84a85 e61 o71 u75 y4"
        << u8"áàảãạ ấầẩẫậ ắằẳẵặ ế ớ ự ỹ";
}

void TestVni::converts()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(vniToUnicode(stored), shown);
}

void TestVni::outputIsPrecomposed()
{
    const QString out = vniToUnicode(u"Vie65t Nam D9O65 ngu7o72i a83 o72");
    QCOMPARE(out, out.normalized(QString::NormalizationForm_C));
    for (QChar c : out)
        QVERIFY2(c.category() != QChar::Mark_NonSpacing, "combining mark left in output");
}

QTEST_APPLESS_MAIN(TestVni)
#include "test_vni.moc"
