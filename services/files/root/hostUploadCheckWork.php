<?php
// Stores a checked work under testedwork/ with the name the workstation formed for it.
// Only a plain file name is accepted, and nothing above 50 MiB.
require __DIR__ . '/lib/common.php';

require_post();
$name = $_POST['newNameFile'] ?? '';
if (!is_plain_name($name)) fail(400, 'bad file name');
$file = $_FILES['attach'] ?? null;
if (!$file) fail(400, 'no file');
if ($file['error'] === UPLOAD_ERR_INI_SIZE || $file['error'] === UPLOAD_ERR_FORM_SIZE
    || $file['size'] > MAX_UPLOAD_BYTES) fail(413, 'file too large');
if ($file['error'] !== UPLOAD_ERR_OK) fail(400, 'upload failed');
$dir = storage_dir();
if (!move_uploaded_file($file['tmp_name'], "$dir/$name")) fail(500, 'cannot store the file');
echo "OK\n";
