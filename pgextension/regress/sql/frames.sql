-- Bytes that are no frame and hostile lengths get an answer that says so (the engine's unit tests
-- hold the other malformed frames and requests); the procedure keeps answering the next request.
SET SESSION AUTHORIZATION "REGRESS_ANN";
SELECT regress.answer(sys.repository_rest('hello world'::bytea)) AS text;
-- A field of a negative length, and a field count no frame could hold.
SELECT regress.answer(sys.repository_rest('repoV2'::bytea || regress.le32(1) || regress.le32(-5)
    || '{}'::bytea)) AS negative_field;
SELECT regress.answer(sys.repository_rest('repoV2'::bytea || regress.le32(2147483647)
    || regress.le32(2) || '{}'::bytea)) AS huge_count;
SELECT sys.repository_rest(NULL) IS NULL AS null_in_null_out;
-- After all that, a good request is answered.
SELECT regress.answer(sys.repository_rest(regress.frame('{"action":"list","what":"packages"}')))
    AS packages;
RESET SESSION AUTHORIZATION;
