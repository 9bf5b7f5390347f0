# LStat values as the catalog holds them, for the shell tests that write
# catalog rows: each field a base-64 numeral, space-separated.
DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def numeral(value):
    text = ""
    while True:
        text = DIGITS[value % 64] + text
        value //= 64
        if value == 0:
            return text


def lstat_value(fields):
    return " ".join(numeral(field) for field in fields)
