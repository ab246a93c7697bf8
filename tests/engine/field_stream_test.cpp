#include "engine/field_stream.h"

#include <gtest/gtest.h>

#include "engine/errors.h"

namespace korvex {
namespace {

std::vector<std::string> AllFields(const std::string& text) {
    FieldStream stream(text, "t.txt");
    std::vector<std::string> fields;
    while (auto field = stream.ReadField()) {
        fields.push_back(*field);
    }
    return fields;
}

TEST(FieldStream, CommasAndLineEndsEndFields) {
    using V = std::vector<std::string>;
    EXPECT_EQ(AllFields("a,b\r\nc\r\n"), (V{"a", "b", "c"}));
    EXPECT_EQ(AllFields("a,b\nc\n"), (V{"a", "b", "c"}));
    EXPECT_EQ(AllFields("a,b\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(AllFields("   left,  x y \r\n"), (V{"left", "x y "}));
    EXPECT_EQ(AllFields("a,,b\r\n"), (V{"a", "", "b"}));
    EXPECT_EQ(AllFields("a,\r\nb\r\n"), (V{"a", "", "b"}));
}

TEST(FieldStream, EmptyLineIsOneEmptyField) {
    using V = std::vector<std::string>;
    EXPECT_EQ(AllFields("80\r\n\r\n0.850\r\n"), (V{"80", "", "0.850"}));
    EXPECT_EQ(AllFields("\n\n"), (V{"", ""}));
}

TEST(FieldStream, QuotedFieldLosesItsQuotes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(AllFields("\"a, b\",c\r\n"), (V{"a, b", "c"}));
    EXPECT_EQ(AllFields("  \"x\"  ,y\n"), (V{"x", "y"}));
    EXPECT_EQ(AllFields("\"unterminated"), (V{"unterminated"}));
    // An unclosed quote does not swallow the following lines.
    EXPECT_EQ(AllFields("\"open\r\nnext,x\r\n"), (V{"open", "next", "x"}));
}

TEST(FieldStream, WholeLineReadsKeepCommasAndBlanks) {
    FieldStream stream(" a, b ,c \r\n 3 \r\nlast", "t.txt");
    EXPECT_EQ(stream.ReadLine(), " a, b ,c ");
    EXPECT_EQ(stream.ReadField(), "3 ");
    EXPECT_EQ(stream.ReadLine(), "last");
    EXPECT_FALSE(stream.ReadLine());
    EXPECT_TRUE(stream.AtEnd());
}

TEST(FieldStream, LineReadAfterAFieldTakesTheRestOfTheLine) {
    FieldStream stream("label,rest, of line\r\nnext", "t.txt");
    EXPECT_EQ(stream.ReadField(), "label");
    EXPECT_EQ(stream.ReadLine(), "rest, of line");
    EXPECT_EQ(stream.ReadLine(), "next");
}

TEST(FieldStream, NumberTokensAreSeparatedByCommasBlanksAndLineEnds) {
    FieldStream stream("1, 2 3\r\n\r\n  4,5\n6 , 7", "t.txt");
    std::vector<double> numbers;
    while (!stream.AtEnd()) {
        numbers.push_back(stream.RequireNumber());
    }
    EXPECT_EQ(numbers, (std::vector<double>{1, 2, 3, 4, 5, 6, 7}));
}

TEST(FieldStream, FailuresNameTheFileAndLine) {
    FieldStream text_in_numbers("1, 2\r\n3, x4\r\n", "Att_coeff2021.dat");
    text_in_numbers.RequireNumber();
    text_in_numbers.RequireNumber();
    text_in_numbers.RequireNumber();
    try {
        text_in_numbers.RequireNumber();
        FAIL() << "a text token was read as a number";
    } catch (const FileError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("Att_coeff2021.dat"), std::string::npos) << message;
        EXPECT_NE(message.find("2 行目"), std::string::npos) << message;
        EXPECT_NE(message.find("x4"), std::string::npos) << message;
    }

    // A file that ends too early names the line the next value was looked for on.
    FieldStream short_file("1\r\n2\r\n", "Primary.dat");
    short_file.RequireNumber();
    short_file.RequireNumber();
    try {
        short_file.RequireNumber();
        FAIL() << "a missing value was not noticed";
    } catch (const FileError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("Primary.dat"), std::string::npos) << message;
        EXPECT_NE(message.find("3 行目に値がありません"), std::string::npos) << message;
    }
    FieldStream no_line_end("7, 8", "Primary.dat");
    no_line_end.RequireNumber();
    no_line_end.RequireNumber();
    try {
        no_line_end.RequireNumber();
        FAIL() << "a missing value was not noticed";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("1 行目に値がありません"), std::string::npos)
            << error.what();
    }

    FieldStream empty_number_field("\r\n", "a.kvx2");
    EXPECT_THROW(empty_number_field.RequireNumberField(), FileError);
    FieldStream text_field("12cm\r\n", "a.kvx2");
    EXPECT_THROW(text_field.RequireNumberField(), FileError);
    FieldStream fields_end("", "a.kvx2");
    EXPECT_THROW(fields_end.RequireField(), FileError);
}

}  // namespace
}  // namespace korvex
