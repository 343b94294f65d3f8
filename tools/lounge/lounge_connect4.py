"""The demo's Connect Four table: 7 columns, 6 rows, cell x + 7y, row 0 fills
first; written for cn4m as '0' empty, '1' side 0 (the player), '2' side 1."""

COLUMNS, ROWS = 7, 6
EMPTY, PLAYER, LOUNGE = 0, 1, 2
PREFERRED_COLUMNS = (3, 2, 4, 1, 5, 0, 6)
_DIRECTIONS = ((1, 0), (0, 1), (1, 1), (-1, 1))
_NAMES = {PLAYER: "X", LOUNGE: "O"}


def position_text(board):
    return "".join(str(cell) for cell in board)


def drop(board, column, piece):
    """Puts the piece on the lowest free row of the column; the row, or None
    when the column is full or does not exist."""
    if not 0 <= column < COLUMNS:
        return None
    for y in range(ROWS):
        if board[column + COLUMNS * y] == EMPTY:
            board[column + COLUMNS * y] = piece
            return y
    return None


def _lift(board, column):
    for y in reversed(range(ROWS)):
        if board[column + COLUMNS * y] != EMPTY:
            board[column + COLUMNS * y] = EMPTY
            return


def has_four(board):
    for y in range(ROWS):
        for x in range(COLUMNS):
            piece = board[x + COLUMNS * y]
            if piece == EMPTY:
                continue
            for dx, dy in _DIRECTIONS:
                cells = [(x + k * dx, y + k * dy) for k in range(4)]
                if all(0 <= cx < COLUMNS and 0 <= cy < ROWS
                       and board[cx + COLUMNS * cy] == piece for cx, cy in cells):
                    return True
    return False


def is_full(board):
    return all(board[x + COLUMNS * (ROWS - 1)] != EMPTY for x in range(COLUMNS))


def _completes_four(board, column, piece):
    if drop(board, column, piece) is None:
        return False
    won = has_four(board)
    _lift(board, column)
    return won


def lounge_move(board):
    """A modest opponent: win if it can, block a win, else prefer the middle."""
    free = [x for x in PREFERRED_COLUMNS if board[x + COLUMNS * (ROWS - 1)] == EMPTY]
    for piece in (LOUNGE, PLAYER):
        for x in free:
            if _completes_four(board, x, piece):
                return x
    return free[0] if free else -1


def describe_board(board):
    """Column by column, bottom piece first: short enough to be spoken."""
    parts = []
    for x in range(COLUMNS):
        pieces = [_NAMES[board[x + COLUMNS * y]] for y in range(ROWS)
                  if board[x + COLUMNS * y] != EMPTY]
        if pieces:
            parts.append("column %d: %s" % (x + 1, " ".join(pieces)))
    if not parts:
        return "The board is empty."
    return "Board, bottom up: %s." % "; ".join(parts)
