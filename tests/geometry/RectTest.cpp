// TRect: queries and changes on a table, intersection, union and subtraction against
// a pixel model on random rectangles, 64-bit widths and centres, stored forms.
#include "GeometryTestSupport.h"

#include <commonvcqx/geometry/GeometryText.h>
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/geometry/Rect.h>
#include <commonvcqx/streams/InputMemoryStream.h>
#include <commonvcqx/streams/OutputMemoryStream.h>

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>
#include <vector>

namespace {

using TPixels = std::set<std::pair<int, int>>;

TPixels PixelsOf(const TRect& r) {
    TPixels pixels;
    for (int y = r.Top(); y < r.Bottom(); ++y)
        for (int x = r.Left(); x < r.Right(); ++x) pixels.insert({x, y});
    return pixels;
}

// A normalized rectangle, possibly empty, within -6..6.
TRect RandomRect(TRandomizer& random) {
    const int a = int(random.Get(13)) - 6, b = int(random.Get(13)) - 6;
    const int c = int(random.Get(13)) - 6, d = int(random.Get(13)) - 6;
    return TRect(a, c, b, d).Normalized();
}

}  // namespace

TEST(RectTest, QueriesFollowTheHalfOpenModel) {
    const TRect r(0, 0, 10, 10);
    EXPECT_TRUE(r.Contains(TPoint(9, 9)));
    EXPECT_FALSE(r.Contains(TPoint(10, 5)));
    EXPECT_FALSE(r.Contains(TPoint(5, 10)));
    EXPECT_TRUE(r.Contains(TPoint(0, 0)));
    EXPECT_FALSE(r.Contains(TPoint(-1, 0)));
    EXPECT_TRUE(TPoint(9, 0).IsInside(r));
    EXPECT_FALSE(TPoint(0, 10).IsInside(r));
    EXPECT_TRUE(r.Contains(r));
    EXPECT_TRUE(r.Contains(TRect(0, 5, 10, 10)));
    EXPECT_FALSE(r.Contains(TRect(0, 5, 11, 10)));
    EXPECT_TRUE(r.ContainsX(0) && !r.ContainsX(10) && r.ContainsY(9) && !r.ContainsY(-1));
    EXPECT_FALSE(r.OverlapsWith(TRect(10, 0, 20, 10)));
    EXPECT_TRUE(r.OverlapsWith(TRect(9, 9, 20, 20)));

    EXPECT_EQ(r.Width(), 10);
    EXPECT_EQ(r.Height(), 10);
    EXPECT_EQ(r.Size(), TSize(10, 10));
    EXPECT_EQ(TSize(TRect(1, 2, 4, 8)), TSize(3, 6));
    EXPECT_EQ(TRect(1, 2, 4, 8).Area(), 18);
    EXPECT_EQ(TRect(0, 0, 5, 5).CenterPoint(), TPoint(2, 2));
    EXPECT_EQ(TRect(-5, -5, 0, 0).CenterPoint(), TPoint(-2, -2));  // toward zero
    EXPECT_EQ(TRect(1, 2, 3, 4).TopRight(), TPoint(3, 2));
    EXPECT_EQ(TRect(1, 2, 3, 4).BottomLeft(), TPoint(1, 4));

    struct TCase {
        TRect rect;
        bool valid, null, normalized;
    };
    const TCase cases[] = {
        {TRect(0, 0, 0, 0), false, true, true},   {TRect(0, 0, 1, 1), true, false, true},
        {TRect(0, 0, 1, 0), false, false, true},  {TRect(5, 0, 1, 3), false, false, false},
        {TRect(0, 5, 3, 1), false, false, false}, {TRect(-3, -3, -1, -1), true, false, true},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(c.rect.IsValid(), c.valid);
        EXPECT_EQ(c.rect.IsEmpty(), !c.valid);
        EXPECT_EQ(c.rect.IsNull(), c.null);
        EXPECT_EQ(c.rect.IsNormalized(), c.normalized);
    }
}

TEST(RectTest, ConstructorsAndConversions) {
    EXPECT_EQ(TRect(), TRect(0, 0, 0, 0));
    EXPECT_EQ(TRect(TPoint(1, 2), TPoint(3, 4)), TRect(1, 2, 3, 4));
    EXPECT_EQ(TRect(TPoint(1, 2), TSize(3, 4)), TRect(1, 2, 4, 6));
    EXPECT_EQ(TRect(1, 2, TSize(3, 4)), TRect(1, 2, 4, 6));
    EXPECT_EQ(TRect(TSize(5, 4), TPoint(10, 10)), TRect(8, 8, 13, 12));
    EXPECT_EQ(TRect(TSize(-5, 4), TPoint(0, 0)), TRect(2, -2, -3, 2));
    const RECT raw = TRect(1, 2, 3, 4);
    EXPECT_EQ(raw.left + raw.top * 10 + raw.right * 100 + raw.bottom * 1000, 4321);
    EXPECT_EQ(TRect(raw), TRect(1, 2, 3, 4));
    TRect r(1, 2, 3, 4);
    r.TopLeft() = TPoint(0, 0);
    r.BottomRight().Shift(1, 1);
    EXPECT_EQ(r, TRect(0, 0, 4, 5));
}

TEST(RectTest, ChangesMoveTheDocumentedEdges) {
    struct TCase {
        const char* what;
        TRect result, expected;
    };
    const TRect r(0, 0, 10, 10);
    auto apply = [&](auto change) {
        TRect copy = r;
        change(copy);
        return copy;
    };
    const TCase cases[] = {
        {"-= 2", apply([](TRect& x) { x -= 2; }), TRect(2, 2, 8, 8)},
        {"+= 2", apply([](TRect& x) { x += 2; }), TRect(-2, -2, 12, 12)},
        {"- margins", r - TMargins(1, 2, 3, 4), TRect(1, 2, 7, 6)},
        {"+ margins", r + TMargins(1, 2, 3, 4), TRect(-1, -2, 13, 14)},
        {"-= margins", apply([](TRect& x) { x -= TMargins(1, 2, 3, 4); }), TRect(1, 2, 7, 6)},
        {"+= margins", apply([](TRect& x) { x += TMargins(1, 1, 1, 1); }), TRect(-1, -1, 11, 11)},
        {"Enlarge(dx, dy)", apply([](TRect& x) { x.Enlarge(1, 2); }), TRect(-1, -2, 11, 12)},
        {"Enlarge(n)", apply([](TRect& x) { x.Enlarge(3); }), TRect(-3, -3, 13, 13)},
        {"Enlarge(size)", apply([](TRect& x) { x.Enlarge(TSize(2, 1)); }), TRect(-2, -1, 12, 11)},
        {"EnlargedBy(size)", r.EnlargedBy(TSize(-1, -2)), TRect(1, 2, 9, 8)},
        {"Shift", apply([](TRect& x) { x.Shift(5, -5); }), TRect(5, -5, 15, 5)},
        {"+ size", r + TSize(1, 2), TRect(1, 2, 11, 12)},
        {"- size", r - TSize(1, 2), TRect(-1, -2, 9, 8)},
        {"+= size", apply([](TRect& x) { x += TSize(3, 3); }), TRect(3, 3, 13, 13)},
        {"-= size", apply([](TRect& x) { x -= TSize(3, 3); }), TRect(-3, -3, 7, 7)},
        {"MoveTo", apply([](TRect& x) { x.MoveTo(-4, 7); }), TRect(-4, 7, 6, 17)},
        {"MovedTo", TRect(1, 1, 3, 4).MovedTo(0, 0), TRect(0, 0, 2, 3)},
        {"SetSize", apply([](TRect& x) { x.SetSize(3, 4); }), TRect(0, 0, 3, 4)},
        {"SetSize(size)", apply([](TRect& x) { x.SetSize(TSize(-1, 2)); }), TRect(0, 0, -1, 2)},
        {"SetWidthHeight", apply([](TRect& x) { x.SetWidthHeight(1, 2, 3, 4); }),
         TRect(1, 2, 4, 6)},
        {"Set", apply([](TRect& x) { x.Set(4, 3, 2, 1); }), TRect(4, 3, 2, 1)},
        {"SetNull", apply([](TRect& x) { x.SetNull(); }), TRect()},
        {"Invalidate", apply([](TRect& x) { x.Invalidate(); }), TRect()},
        {"Normalized", TRect(5, 6, 1, 2).Normalized(), TRect(1, 2, 5, 6)},
        {"Normalized x", TRect(5, 2, 1, 6).Normalized(), TRect(1, 2, 5, 6)},
        {"Normalized y", TRect(1, 6, 5, 2).Normalized(), TRect(1, 2, 5, 6)},
        {"Centered", r.Centered(TRect(100, 100, 104, 105)), TRect(3, 2, 7, 7)},
        {"Centered larger", r.Centered(TRect(0, 0, 15, 10)), TRect(-2, 0, 13, 10)},
        {"Centered odd", TRect(0, 0, 5, 5).Centered(TRect(0, 0, 2, 2)), TRect(1, 1, 3, 3)},
        {"fit larger", apply([](TRect& x) {
             x = TRect(0, 0, 20, 20);
             x.AdjustToFitIn(TRect(0, 0, 10, 10));
         }),
         TRect(-10, -10, 10, 10)},
        {"fit left", apply([](TRect& x) {
             x = TRect(-5, 2, -1, 4);
             x.AdjustToFitIn(TRect(0, 0, 10, 10));
         }),
         TRect(0, 2, 4, 4)},
        {"fit right", apply([](TRect& x) {
             x = TRect(8, 8, 12, 11);
             x.AdjustToFitIn(TRect(0, 0, 10, 10));
         }),
         TRect(6, 7, 10, 10)},
        {"fit inside", apply([](TRect& x) {
             x = TRect(1, 1, 2, 2);
             x.AdjustToFitIn(TRect(0, 0, 10, 10));
         }),
         TRect(1, 1, 2, 2)},
    };
    for (const TCase& c : cases) EXPECT_EQ(c.result, c.expected) << c.what;
}

TEST(RectTest, IntersectionAndUnionFollowTheirNullRules) {
    const TRect r(0, 0, 10, 10);
    EXPECT_EQ(r & TRect(10, 0, 20, 10), TRect());  // touching edges
    EXPECT_EQ(r & TRect(5, -5, 20, 5), TRect(5, 0, 10, 5));

    TRect clipped = r;
    clipped &= TRect(10, 0, 20, 10);  // no overlap test: an empty result, not null
    EXPECT_EQ(clipped, TRect(10, 0, 10, 10));
    TRect null;
    null &= r;
    EXPECT_EQ(null, TRect());
    clipped = r;
    clipped &= TRect();
    EXPECT_EQ(clipped, TRect());

    EXPECT_EQ(r | TRect(), TRect(0, 0, 10, 10));
    EXPECT_EQ(TRect(5, 5, 6, 6) | TRect(), TRect(0, 0, 6, 6));  // null counts here
    TRect bound = TRect(5, 5, 6, 6);
    bound |= TRect();
    EXPECT_EQ(bound, TRect(5, 5, 6, 6));
    null = TRect();
    null |= TRect(5, 5, 6, 6);
    EXPECT_EQ(null, TRect(5, 5, 6, 6));
    bound |= TRect(-1, 7, 2, 8);
    EXPECT_EQ(bound, TRect(-1, 5, 6, 8));

    // Against the pixel model: the intersection holds exactly the shared pixels and
    // the union bounds both.
    TRandomizer random(7);
    for (int i = 0; i < 2000; ++i) {
        const TRect a = RandomRect(random), b = RandomRect(random);
        TPixels shared;
        const TPixels pa = PixelsOf(a), pb = PixelsOf(b);
        for (const auto& p : pa)
            if (pb.count(p)) shared.insert(p);
        const TRect both = a & b;
        ASSERT_EQ(PixelsOf(both), shared);
        ASSERT_EQ(both.IsNull(), !a.OverlapsWith(b));
        // An empty rectangle may still overlap by the edge test; valid ones overlap
        // exactly when they share a pixel.
        if (a.IsValid() && b.IsValid()) {
            ASSERT_EQ(a.OverlapsWith(b), !shared.empty());
        }
        const TRect all = a | b;
        ASSERT_TRUE(all.Contains(a) && all.Contains(b));
    }
}

TEST(RectTest, SubtractionMatchesThePixelModel) {
    TRect pieces[4];
    ASSERT_EQ(TRect(0, 0, 10, 10).Subtract(TRect(2, 2, 5, 5), pieces), 4);
    EXPECT_EQ(pieces[0], TRect(0, 0, 10, 2));
    EXPECT_EQ(pieces[1], TRect(0, 5, 10, 10));
    EXPECT_EQ(pieces[2], TRect(0, 2, 2, 5));
    EXPECT_EQ(pieces[3], TRect(5, 2, 10, 5));
    ASSERT_EQ(TRect(0, 0, 10, 10).Subtract(TRect(10, 0, 20, 10), pieces), 1);
    EXPECT_EQ(pieces[0], TRect(0, 0, 10, 10));
    EXPECT_EQ(TRect(2, 2, 5, 5).Subtract(TRect(0, 0, 10, 10), pieces), 0);

    TRandomizer random(11);
    for (int i = 0; i < 3000; ++i) {
        const TRect a = RandomRect(random), b = RandomRect(random);
        TRect out[4];
        const int count = a.Subtract(b, out);
        ASSERT_GE(count, 0);
        ASSERT_LE(count, 4);
        TPixels expected = PixelsOf(a);
        for (const auto& p : PixelsOf(b)) expected.erase(p);
        TPixels got;
        size_t total = 0;
        for (int k = 0; k < count; ++k) {
            const TPixels piece = PixelsOf(out[k]);
            total += piece.size();
            got.insert(piece.begin(), piece.end());
            // Edge-overlapping empty rectangles can leave empty bands.
            if (a.IsValid() && b.IsValid() && a.OverlapsWith(b)) {
                ASSERT_TRUE(out[k].IsValid()) << ValueToString(out[k]).c_str();
            }
        }
        ASSERT_EQ(got, expected) << i;
        ASSERT_EQ(total, got.size()) << "pieces overlap";
        // The documented order: bands above and below span the whole width.
        if (count > 0 && a.OverlapsWith(b) && a.Top() < b.Top()) {
            ASSERT_EQ(out[0], TRect(a.Left(), a.Top(), a.Right(), b.Top()));
        }
    }
}

TEST(RectTest, WidthsCentresAndAreaNeverOverflow) {
    const TRect huge(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    EXPECT_EQ(huge.GetXCenter(), 0);  // (INT_MIN + INT_MAX) / 2 truncated
    EXPECT_EQ(TRect(INT_MAX - 1, 0, INT_MAX, 0).GetXCenter(), INT_MAX - 1);
    EXPECT_EQ(TRect(0, INT_MIN, 0, INT_MIN + 1).GetYCenter(), INT_MIN + 1);
    EXPECT_EQ(huge.Width(), INT_MAX);  // saturates: the exact width needs 33 bits
    EXPECT_EQ(TRect(INT_MAX, 0, INT_MIN, 0).Width(), INT_MIN);
    EXPECT_EQ(huge.Area(), int64_t{INT_MAX} * INT_MAX);
    EXPECT_EQ(TRect(0, 0, 65536, 65536).Area(), int64_t{1} << 32);
    EXPECT_EQ(TRect(0, 0, -3, 4).Area(), -12);
    // Coordinates wrap as the original's did.
    EXPECT_EQ(TRect(INT_MAX, 0, INT_MAX, 0).ShiftedBy(1, 0), TRect(INT_MIN, 0, INT_MIN, 0));
    EXPECT_EQ(TRect(0, 0, 10, 10).Centered(TRect(0, 0, INT_MAX, 2)).Left(), -1073741818);
    TRect wide(INT_MIN, 0, INT_MAX, 5);
    wide.AdjustToFitIn(TRect(0, 0, 10, 10));  // keeps its size modulo 2^32
    EXPECT_EQ(uint32_t(wide.Right()) - uint32_t(wide.Left()), uint32_t(UINT32_MAX));
}

TEST(RectTest, StoredFormsAreByteExact) {
    using namespace geometry_test;
    const TRect r(1, -2, 0x01020304, INT_MIN);
    TOutputMemoryStream raw(64, 1);
    r.Write(raw);
    const uint8_t expected[] = {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 0, 0, 0, 0x80};
    ASSERT_EQ(raw.GetCurrentPosition(), sizeof expected);
    EXPECT_EQ(std::memcmp(raw.GetStart(), expected, sizeof expected), 0);
    TInputMemoryStream in(raw.GetStart(), raw.GetCurrentPosition());
    TRect back;
    back.Read(in);
    EXPECT_EQ(back, r);

    // A tagged value is the raw bytes wrapped in one node, as any raw content is.
    const std::vector<uint8_t> tagged =
        WriteBlock(1, [&](TTaggedOutputStream& out) { r.WriteState(out, 0, "R", 2); });
    const std::vector<uint8_t> wrapped = WriteBlock(1, [&](TTaggedOutputStream& out) {
        TTaggedOutputStream::TAutoTag tag(out, "R", 2);
        out.GetMemoryStream().Write(reinterpret_cast<const char*>(expected), 16);
    });
    EXPECT_EQ(tagged, wrapped);
    TReader reader(1, tagged);
    EXPECT_EQ(reader.In().GetBinarySize("R", 2), 16);
    back = TRect(9, 9, 9, 9);
    EXPECT_TRUE(back.RestoreState(reader.In(), 0, "R", 2));
    EXPECT_EQ(back, r);
    back = TRect(9, 9, 9, 9);
    EXPECT_FALSE(back.RestoreState(reader.In(), 0, "R", 0));  // absent: unchanged
    EXPECT_EQ(back, TRect(9, 9, 9, 9));

    // Untagged: the bare coordinates in sequence.
    const std::vector<uint8_t> plain = WriteBlock(0, [&](TTaggedOutputStream& out) {
        r.WriteState(out, 0, "R", 0);
        TRect(5, 6, 7, 8).WriteState(out, 0, "S", 0);
    });
    TReader plainReader(0, plain);
    EXPECT_TRUE(back.RestoreState(plainReader.In(), 0, "R", 0));
    EXPECT_EQ(back, r);
    EXPECT_TRUE(back.RestoreState(plainReader.In(), 0, "S", 0));
    EXPECT_EQ(back, TRect(5, 6, 7, 8));
}

TEST(RectTest, DamagedStoredFormsAreRefused) {
    using namespace geometry_test;
    // A value too short for four coordinates reads as absent, changing nothing.
    const std::vector<uint8_t> shortValue =
        WriteBlock(1, [](TTaggedOutputStream& out) { TPoint(1, 2).WriteState(out, 0, "R", 0); });
    TReader reader(1, shortValue);
    TRect r(9, 9, 9, 9);
    EXPECT_FALSE(r.RestoreState(reader.In(), 0, "R", 0));
    EXPECT_EQ(r, TRect(9, 9, 9, 9));
    // Untagged, a block that ends inside the coordinates is damage.
    TReader plain(0, WriteBlock(0, [](TTaggedOutputStream& out) {
                      TPoint(1, 2).WriteState(out, 0, "R", 0);
                  }));
    EXPECT_TRUE(FailsAsDamaged([&] { r.RestoreState(plain.In(), 0, "R", 0); }));
}

TEST(RectTest, FindInCornerSplitsTheSharedCornerAlongTheDiagonal) {
    struct TCase {
        TRect first, second;
        TPoint point;
        int owner;
    };
    const TRect tall(0, 0, 10, 100), wide(0, 0, 100, 10);  // sharing the top-left corner
    const TCase cases[] = {
        {tall, wide, TPoint(500, 500), -1},
        {tall, wide, TPoint(5, 50), 0},
        {tall, wide, TPoint(50, 5), 1},
        {tall, wide, TPoint(8, 2), 1},  // beside the top and right edges: the wide one
        {tall, wide, TPoint(2, 8), 0},
        {tall, wide, TPoint(5, 5), 0},  // on the diagonal
        {wide, tall, TPoint(8, 2), 0},
        {wide, tall, TPoint(2, 8), 1},
        // Sharing the bottom-right corner: the tall one reaches upwards.
        {TRect(-90, 0, 10, 10), TRect(0, -90, 10, 10), TPoint(8, 2), 1},
        {TRect(-90, 0, 10, 10), TRect(0, -90, 10, 10), TPoint(2, 8), 0},
        // Sharing the top-right corner: neither reaches right or up, nor past the other.
        {TRect(-90, 0, 10, 10), TRect(0, 0, 10, 100), TPoint(8, 2), 0},
        {TRect(-90, 0, 10, 10), TRect(0, 0, 10, 100), TPoint(2, 8), 1},
        // Sharing the bottom-left corner: both reach, the second past the first.
        {TRect(0, -90, 10, 10), TRect(0, 0, 100, 10), TPoint(8, 2), 1},
        {TRect(0, -90, 10, 10), TRect(0, 0, 100, 10), TPoint(2, 8), 0},
        // No shared corner.
        {TRect(0, 0, 10, 10), TRect(5, 5, 20, 20), TPoint(7, 6), 0},
        {TRect(0, 0, 10, 10), TRect(5, 5, 20, 20), TPoint(6, 7), 0},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(FindInCorner(c.first, c.second, c.point), c.owner)
            << ValueToString(c.first).c_str() << " / " << ValueToString(c.second).c_str() << " at "
            << ValueToString(c.point).c_str();
    }
}
